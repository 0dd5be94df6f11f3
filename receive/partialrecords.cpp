#include "receive/partialrecords.h"

#include "core/base/atomicfile.h"
#include "core/base/littleendian.h"
#include "net/wirerecords.h"
#include "receive/fixedrecord.h"
#include "receive/resumecache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace vantrel {

namespace {

const QString Suffix = QStringLiteral(".partial");
const QByteArray Magic = QByteArrayLiteral("VNTPART1");

// The note: the magic, then dirCount, fileCount, totalSize and the name's length (u32 each),
// then the offered name.
constexpr int FieldsAt = 8;
constexpr int NameAt = FieldsAt + 16;
constexpr int MaxNameBytes = 255;

std::optional<RequestHeader> Parse(const QByteArray& bytes)
{
    using namespace fixedrecord;
    using namespace littleendian;
    if (bytes.size() < NameAt || !bytes.startsWith(Magic))
        return std::nullopt;
    const std::uint8_t* fields = At(bytes, FieldsAt);
    RequestHeader request;
    request.dirCount = GetU32(fields);
    request.fileCount = GetU32(fields + 4);
    request.totalSize = GetU32(fields + 8);
    const std::uint32_t nameBytes = GetU32(fields + 12);
    if (nameBytes > MaxNameBytes || bytes.size() != NameAt + qsizetype(nameBytes))
        return std::nullopt;
    request.fileName = bytes.mid(NameAt);
    // A name from the wire ends at its first NUL; one holding a NUL is not a note of ours.
    if (request.fileName.contains('\0'))
        return std::nullopt;
    return request;
}

} // namespace

PartialRecords::PartialRecords(ProgramFolder folder) : m_folder(std::move(folder)) {}

QString PartialRecords::RecordFile(const QString& archivePath)
{
    return archivePath + Suffix;
}

QString PartialRecords::Write(const QString& archivePath, const RequestHeader& request) const
{
    using namespace fixedrecord;
    using namespace littleendian;
    const QByteArray name = request.fileName.left(MaxNameBytes);
    QByteArray bytes = Magic + QByteArray(NameAt - FieldsAt, '\0') + name;
    std::uint8_t* fields = At(bytes, FieldsAt);
    PutU32(fields, request.dirCount);
    PutU32(fields + 4, request.fileCount);
    PutU32(fields + 8, request.totalSize);
    PutU32(fields + 12, static_cast<std::uint32_t>(name.size()));
    const QString record = RecordFile(archivePath);
    return atomicfile::Write(record, bytes) ? record : QString();
}

void PartialRecords::Remove(const QString& recordPath)
{
    if (!recordPath.isEmpty())
        QFile::remove(recordPath);
}

int PartialRecords::Recover(ResumeCache& cache) const
{
    const QDir temp(m_folder.tempFolder());
    const QStringList names =
        temp.entryList({QLatin1Char('*') + Suffix}, QDir::Files | QDir::Hidden);
    if (names.isEmpty())
        return 0;
    int kept = 0;
    for (const QString& name : names) {
        const QString record = temp.filePath(name);
        const QString archive = record.chopped(Suffix.size());
        QFile file(record);
        const std::optional<RequestHeader> request =
            file.open(QIODevice::ReadOnly) ? Parse(file.read(NameAt + MaxNameBytes + 1))
                                           : std::nullopt;
        const QFileInfo info(archive);
        if (!request || !info.isFile() || info.size() == 0) {
            // Nothing to resume: an archive never written to, or a note of no use.
            if (info.isFile() && info.size() == 0)
                QFile::remove(archive);
            continue;
        }
        const std::uint32_t id = cache.Add(*request);
        if (QFile::rename(archive, cache.EntryFile(id)) && cache.Complete(id))
            ++kept;
        else
            cache.Remove(id);
    }
    // The list holds the archives before the notes that found them go.
    if (kept > 0)
        cache.Save();
    for (const QString& name : names)
        Remove(temp.filePath(name));
    return kept;
}

} // namespace vantrel
