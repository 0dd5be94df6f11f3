#include "receive/resumecache.h"

#include "core/base/atomicfile.h"
#include "core/base/littleendian.h"
#include "net/wirerecords.h"
#include "receive/fixedrecord.h"
#include "stats/formatsize.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace vantrel {

namespace {

const QString ListFileName = QStringLiteral("cachedreslist.vnt");

// The list file: a header, then one record per entry.
constexpr int HeaderSize = 8;
constexpr int HeaderCount = 0;
constexpr int HeaderLastResumeId = 4;

constexpr int RecordSize = 272;
constexpr int RecordId = 0;
constexpr int RecordFileName = 4;
constexpr int RecordDirCount = 260;
constexpr int RecordFileCount = 264;
constexpr int RecordTotalSize = 268;
constexpr int FileNameWidth = 256;

} // namespace

QString ResumeEntry::ActualSizeText() const
{
    return actualSize ? FormatSizeFixed(*actualSize) : QString();
}

QString ResumeEntry::ProgressText() const
{
    if (!actualSize)
        return QString();
    // An empty offer has no meaningful share; very large ratios of a damaged entry are capped
    // instead of overflowing the integer.
    double percent = totalSize == 0 ? 0.0 : double(*actualSize) / double(totalSize) * 100.0;
    percent = std::min(percent, double(std::numeric_limits<int>::max()));
    return QCoreApplication::translate("ResumeEntry", "%1%").arg(static_cast<int>(percent));
}

ResumeCache::ResumeCache(ProgramFolder folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder))
{
}

QString ResumeCache::EntryFile(std::uint32_t id) const
{
    return m_folder.file(QStringLiteral("CachedResumes/%1.resume").arg(id));
}

void ResumeCache::Load()
{
    using namespace fixedrecord;
    using namespace littleendian;
    m_entries.clear();
    m_lastResumeId = 0;

    QFile file(m_folder.file(ListFileName));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (bytes.size() >= HeaderSize) {
            const std::uint32_t count = GetU32(At(bytes, HeaderCount));
            m_lastResumeId = GetU32(At(bytes, HeaderLastResumeId));
            // A short or damaged file keeps its complete records only.
            const qsizetype available = (bytes.size() - HeaderSize) / RecordSize;
            const qsizetype records = std::min<qsizetype>(count, available);
            for (qsizetype i = 0; i < records; ++i) {
                const std::uint8_t* record = At(bytes, HeaderSize + i * RecordSize);
                ResumeEntry entry;
                entry.id = GetU32(record + RecordId);
                entry.fileName = GetText(record + RecordFileName, FileNameWidth);
                entry.dirCount = GetU32(record + RecordDirCount);
                entry.fileCount = GetU32(record + RecordFileCount);
                entry.totalSize = GetU32(record + RecordTotalSize);
                m_entries.push_back(entry);
            }
        }
    }

    // Entries whose file has gone are dropped; the list file keeps them until the next Save.
    std::erase_if(m_entries, [this](ResumeEntry& entry) {
        const QFileInfo info(EntryFile(entry.id));
        if (!info.isFile())
            return true;
        entry.actualSize = static_cast<std::uint32_t>(
            std::min<qint64>(info.size(), std::numeric_limits<std::uint32_t>::max()));
        return false;
    });
    emit changed();
}

bool ResumeCache::Save() const
{
    using namespace fixedrecord;
    using namespace littleendian;
    QByteArray bytes(HeaderSize + qsizetype(m_entries.size()) * RecordSize, '\0');
    PutU32(At(bytes, HeaderCount), static_cast<std::uint32_t>(m_entries.size()));
    PutU32(At(bytes, HeaderLastResumeId), m_entries.empty() ? 0 : m_lastResumeId);
    qsizetype offset = HeaderSize;
    for (const ResumeEntry& entry : m_entries) {
        std::uint8_t* record = At(bytes, offset);
        PutU32(record + RecordId, entry.id);
        PutText(record + RecordFileName, FileNameWidth, entry.fileName);
        PutU32(record + RecordDirCount, entry.dirCount);
        PutU32(record + RecordFileCount, entry.fileCount);
        PutU32(record + RecordTotalSize, entry.totalSize);
        offset += RecordSize;
    }

    return atomicfile::Write(m_folder.file(ListFileName), bytes);
}

std::optional<ResumeEntry> ResumeCache::FindResume(const RequestHeader& request) const
{
    for (const ResumeEntry& entry : m_entries) {
        if (entry.fileName == request.fileName && entry.dirCount == request.dirCount &&
            entry.fileCount == request.fileCount && entry.totalSize == request.totalSize)
            return entry;
    }
    return std::nullopt;
}

std::optional<ResumeEntry> ResumeCache::FindById(std::uint32_t id) const
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [id](const ResumeEntry& entry) { return entry.id == id; });
    if (it == m_entries.end())
        return std::nullopt;
    return *it;
}

std::uint32_t ResumeCache::Add(const RequestHeader& request)
{
    // The next number, passing over any number still held by an entry or by a file in the
    // folder, so that the caller's move can never land on a kept archive.
    std::uint32_t id = m_lastResumeId;
    do {
        ++id;
    } while (id == 0 || FindById(id) || QFileInfo::exists(EntryFile(id)));
    m_lastResumeId = id;

    ResumeEntry entry;
    entry.id = id;
    entry.fileName = CutUtf8(request.fileName, FileNameWidth - 1);
    entry.dirCount = request.dirCount;
    entry.fileCount = request.fileCount;
    entry.totalSize = request.totalSize;
    m_entries.push_back(entry);
    emit changed();
    return id;
}

bool ResumeCache::Complete(std::uint32_t id)
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [id](const ResumeEntry& entry) { return entry.id == id; });
    if (it == m_entries.end())
        return false;
    const QFileInfo info(EntryFile(id));
    if (!info.isFile())
        return false;
    it->actualSize = static_cast<std::uint32_t>(
        std::min<qint64>(info.size(), std::numeric_limits<std::uint32_t>::max()));
    emit changed();
    return true;
}

void ResumeCache::Remove(std::uint32_t id)
{
    if (std::erase_if(m_entries, [id](const ResumeEntry& entry) { return entry.id == id; }) > 0)
        emit changed();
}

void ResumeCache::Discard(std::uint32_t id)
{
    if (!FindById(id))
        return;
    // A file that is already gone is no failure: the entry goes all the same.
    QFile::remove(EntryFile(id));
    Remove(id);
}

void ResumeCache::DiscardAll()
{
    if (m_entries.empty())
        return;
    for (const ResumeEntry& entry : m_entries)
        QFile::remove(EntryFile(entry.id));
    m_entries.clear();
    emit changed();
}

} // namespace vantrel
