// The compression component's extraction of a hostile tree archive while it arrives, as the
// receive worker runs it: into a hidden staging folder beside the target, within a limit. The
// first input byte picks the limit (as the unzip harness does) and whether the archive is on
// disk whole before the call or arrives in pieces meanwhile (written by another thread, the
// piece size from the second byte); the rest is the archive. A success must leave what the
// ordinary extraction of the whole archive leaves; anything else must leave nothing in the
// staging, which the worker's removal then takes away.
#include "scratchfolder.h"

#include "receive/stagingname.h"
#include "receive/stagingsweep.h"
#include "zipbridge/zipbridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

using namespace vantrel;

namespace {

const QString Archive = QStringLiteral("in.zip");
const QString Ordinary = QStringLiteral("ordinary");

// The entries below `folder`, relative to it, with the bytes of each regular file.
QStringList Described(const fuzz::ScratchFolder& scratch, const QString& folder)
{
    QStringList described;
    const QString prefix = folder + QLatin1Char('/');
    for (const QString& entry : scratch.Entries()) {
        if (!entry.startsWith(prefix))
            continue;
        QFile file(scratch.file(entry));
        const bool regular = QFileInfo(file).isFile() && !QFileInfo(file).isSymLink();
        described.append(entry.mid(prefix.size()) + QLatin1Char('=') +
                         (regular && file.open(QIODevice::ReadOnly)
                              ? QString::fromLatin1(file.readAll().toHex())
                              : QStringLiteral("<folder>")));
    }
    return described;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzz::ScratchFolder scratch;
    if (size < 2)
        return 0;
    scratch.Empty();
    const bool inPieces = (data[0] & 0x80) != 0;
    const std::uint64_t step = (data[0] & 0x40) ? 65536 : 64;
    const std::uint64_t limit = static_cast<std::uint64_t>(data[0] & 0x3F) * step;
    const std::size_t piece = static_cast<std::size_t>(data[1]) * 16 + 1;
    const QByteArray archive = fuzz::InputBytes(data + 2, size - 2);
    const QString staging = QFile::decodeName(
        StagingName::Make(StagingName::Kind::Folder, "target", ::getpid(), 1).c_str());
    if (!QDir(scratch.path()).mkdir(staging))
        fuzz::Fail("cannot make the staging folder");

    std::uint64_t arrived = 0;
    std::uint32_t complete = 0;
    std::uint32_t progress = 0;
    std::uint32_t cancel = 0;
    std::thread writer;
    if (!inPieces) {
        fuzz::WriteWholeFile(scratch.file(Archive), archive);
        arrived = static_cast<std::uint64_t>(archive.size());
        complete = 1;
    } else {
        fuzz::WriteWholeFile(scratch.file(Archive), QByteArray());
        writer = std::thread([&] {
            QFile out(scratch.file(Archive));
            if (!out.open(QIODevice::Append | QIODevice::Unbuffered))
                fuzz::Fail("cannot append to the archive");
            for (qsizetype at = 0; at < archive.size(); at += static_cast<qsizetype>(piece)) {
                const QByteArray next = archive.mid(at, static_cast<qsizetype>(piece));
                if (out.write(next) != next.size())
                    fuzz::Fail("cannot append to the archive");
                std::atomic_ref<std::uint64_t>(arrived).fetch_add(
                    static_cast<std::uint64_t>(next.size()), std::memory_order_release);
            }
            std::atomic_ref<std::uint32_t>(complete).store(1, std::memory_order_release);
        });
    }
    const QByteArray archivePath = QFile::encodeName(scratch.file(Archive));
    const QByteArray stagingPath = QFile::encodeName(scratch.file(staging));
    const int result =
        ZipBridgeUnzipAllFolderStreaming(archivePath.constData(), stagingPath.constData(),
                                         &progress, &cancel, limit, &arrived, &complete);
    if (writer.joinable())
        writer.join();
    if (result < ZB_OK || result > ZB_NOT_STREAMABLE || result == ZB_CANCELLED ||
        result == ZB_SOURCE_ERROR)
        fuzz::Fail("an unknown result");

    // Nothing lands beside the staging, whatever the archive names.
    for (const QString& entry : scratch.Entries())
        if (entry != Archive && entry != staging && !entry.startsWith(staging + QLatin1Char('/')))
            fuzz::Fail("an entry was written outside the staging folder");
    const std::uintmax_t extracted = scratch.FileBytes(staging);
    if (extracted > limit)
        fuzz::Fail("the extracted files pass the limit");

    if (result == ZB_OK || result == ZB_UNSAFE_ENTRIES) {
        // What the overlapped unpacking keeps is what the ordinary extraction makes.
        std::uint32_t ordinaryProgress = 0;
        const QByteArray ordinaryPath = QFile::encodeName(scratch.file(Ordinary));
        const int ordinary = ZipBridgeUnzipAllFolderBounded(
            archivePath.constData(), ordinaryPath.constData(), &ordinaryProgress, &cancel, limit);
        if (ordinary != result)
            fuzz::Fail("the ordinary extraction ends otherwise");
        if (Described(scratch, staging) != Described(scratch, Ordinary))
            fuzz::Fail("the ordinary extraction makes another tree");
        return 0;
    }
    // A failure keeps nothing of what it wrote, and the worker's removal takes the rest.
    if (scratch.Entries().size() != 2)
        fuzz::Fail("a failed extraction left entries in the staging folder");
    if (!StagingSweep::RemoveTree(scratch.file(staging)) ||
        QFileInfo::exists(scratch.file(staging)))
        fuzz::Fail("the staging folder stays after a failure");
    return 0;
}
