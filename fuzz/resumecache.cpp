// "cachedreslist.vnt" as the program reads it at start, beside kept archives for the first ids.
#include "scratchfolder.h"

#include "core/base/programfolder.h"
#include "net/wirerecords.h"
#include "receive/resumecache.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

using namespace vantrel;

namespace {

const QString ListFile = QStringLiteral("cachedreslist.vnt");

bool SameEntries(const ResumeCache& a, const ResumeCache& b)
{
    if (a.entries().size() != b.entries().size())
        return false;
    for (std::size_t i = 0; i < a.entries().size(); ++i) {
        const ResumeEntry& x = a.entries()[i];
        const ResumeEntry& y = b.entries()[i];
        if (x.id != y.id || x.fileName != y.fileName || x.dirCount != y.dirCount ||
            x.fileCount != y.fileCount || x.totalSize != y.totalSize ||
            x.actualSize != y.actualSize)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzz::ScratchFolder scratch;
    scratch.Empty();
    const ProgramFolder folder(scratch.path());
    QDir().mkpath(folder.cachedResumesFolder());
    // Kept archives for a few ids, so that entries naming them survive the load.
    for (int id : {0, 1, 2, 3, 7})
        fuzz::WriteWholeFile(folder.file(QStringLiteral("CachedResumes/%1.resume").arg(id)),
                             QByteArray(id, 'k'));
    fuzz::WriteWholeFile(folder.file(ListFile), fuzz::InputBytes(data, size));

    ResumeCache cache(folder);
    cache.Load();
    for (const ResumeEntry& entry : cache.entries()) {
        if (!entry.actualSize || entry.fileName.size() > 256)
            fuzz::Fail("an entry without its archive, or with a name past its field");
        (void)entry.ActualSizeText();
        (void)entry.ProgressText();
        RequestHeader request;
        request.fileName = entry.fileName;
        request.dirCount = entry.dirCount;
        request.fileCount = entry.fileCount;
        request.totalSize = entry.totalSize;
        if (!cache.FindResume(request))
            fuzz::Fail("an entry is not found by its own request");
    }

    // What is saved reads back as it was.
    if (!cache.Save())
        fuzz::Fail("cannot save the list");
    ResumeCache reloaded(folder);
    reloaded.Load();
    if (!SameEntries(cache, reloaded))
        fuzz::Fail("the saved list reads back differently");

    // A new entry never takes a number or a file that is already held.
    RequestHeader request;
    request.fileName = QByteArrayLiteral("new");
    const std::uint32_t id = cache.Add(request);
    if (id == 0 || QFile::exists(cache.EntryFile(id)))
        fuzz::Fail("a new entry takes a held number");
    for (const ResumeEntry& entry : reloaded.entries())
        if (entry.id == id)
            fuzz::Fail("a new entry takes a held number");
    cache.DiscardAll();
    return 0;
}
