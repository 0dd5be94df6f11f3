// A note of an archive being received ("Temp/ZIV<n>.zip.partial") as the program reads it at
// start, beside its archive.
#include "scratchfolder.h"

#include "core/base/programfolder.h"
#include "net/wirerecords.h"
#include "receive/partialrecords.h"
#include "receive/resumecache.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzz::ScratchFolder scratch;
    scratch.Empty();
    const ProgramFolder folder(scratch.path());
    QDir().mkpath(folder.cachedResumesFolder());
    QDir().mkpath(folder.tempFolder());
    const QString archive = QDir(folder.tempFolder()).filePath(QStringLiteral("ZIV1.zip"));
    fuzz::WriteWholeFile(archive, QByteArrayLiteral("PK partial archive"));
    fuzz::WriteWholeFile(PartialRecords::RecordFile(archive), fuzz::InputBytes(data, size));

    ResumeCache cache(folder);
    cache.Load();
    const int kept = PartialRecords(folder).Recover(cache);
    if (kept < 0 || kept > 1 || cache.entries().size() != static_cast<std::size_t>(kept))
        fuzz::Fail("one note keeps at most its own archive");
    if (QFile::exists(PartialRecords::RecordFile(archive)))
        fuzz::Fail("a note outlives its recovery");
    if (kept == 1) {
        const ResumeEntry& entry = cache.entries().front();
        if (entry.fileName.size() > 255 || QFile::exists(archive) ||
            !QFile::exists(cache.EntryFile(entry.id)))
            fuzz::Fail("a kept archive is not where its entry says");
        RequestHeader request;
        request.fileName = entry.fileName;
        request.dirCount = entry.dirCount;
        request.fileCount = entry.fileCount;
        request.totalSize = entry.totalSize;
        if (!cache.FindResume(request))
            fuzz::Fail("a kept archive is not found by its own offer");
        // What was saved reads back as it was.
        ResumeCache reloaded(folder);
        reloaded.Load();
        if (reloaded.entries().size() != 1 || reloaded.entries().front().fileName != entry.fileName)
            fuzz::Fail("the saved list reads back differently");
    }
    cache.DiscardAll();
    return 0;
}
