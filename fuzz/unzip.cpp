// The compression component's extraction of a hostile archive within a limit: the whole tree
// into a folder, or the first file to a name. The first input byte picks the call and the
// limit; the rest is the archive.
#include "scratchfolder.h"

#include "zipbridge/zipbridge.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

using namespace vantrel;

namespace {

const QString Archive = QStringLiteral("in.zip");
const QString Destination = QStringLiteral("out");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzz::ScratchFolder scratch;
    if (size < 1)
        return 0;
    scratch.Empty();
    const bool singleFile = (data[0] & 0x80) != 0;
    // From 0 (nothing may be written) up to 4 MiB, in steps that small archives can cross.
    const std::uint64_t step = (data[0] & 0x40) ? 65536 : 64;
    const std::uint64_t limit = static_cast<std::uint64_t>(data[0] & 0x3F) * step;
    {
        QFile out(scratch.file(Archive));
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1)) !=
                static_cast<qint64>(size - 1))
            fuzz::Fail("cannot write the archive");
    }
    const QString destinationDir = scratch.file(Destination);
    if (!QDir().mkpath(destinationDir))
        fuzz::Fail("cannot make the destination");

    std::uint32_t progress = 0;
    std::uint32_t cancel = 0;
    const QByteArray archive = QFile::encodeName(scratch.file(Archive));
    const QByteArray destination =
        QFile::encodeName(singleFile ? destinationDir + QStringLiteral("/file") : destinationDir);
    const int result =
        singleFile ? ZipBridgeUnzipSingleFileBounded(archive.constData(), destination.constData(),
                                                     &progress, &cancel, limit)
                   : ZipBridgeUnzipAllFolderBounded(archive.constData(), destination.constData(),
                                                    &progress, &cancel, limit);
    if (result < ZB_OK || result > ZB_UNSAFE_ENTRIES)
        fuzz::Fail("an unknown result");

    // Nothing lands beside the destination, whatever the archive names.
    for (const QString& entry : scratch.Entries())
        if (entry != Archive && entry != Destination &&
            !entry.startsWith(Destination + QLatin1Char('/')))
            fuzz::Fail("an entry was written outside the destination");
    // What stays never passes the limit, and a limit that was passed leaves no file behind.
    const std::uintmax_t extracted = scratch.FileBytes(Destination);
    if (extracted > limit)
        fuzz::Fail("the extracted files pass the limit");
    if (result == ZB_LIMIT_EXCEEDED && extracted != 0)
        fuzz::Fail("a passed limit left files behind");
    return 0;
}
