// "filename.vnt", the path a second start hands to the running copy.
#include "scratchfolder.h"

#include "core/handoff.h"

#include <QFile>

#include <cstddef>
#include <cstdint>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzz::ScratchFolder scratch;
    scratch.Empty();
    const QString file = scratch.file(handoff::FileName);
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
                static_cast<qint64>(size))
            fuzz::Fail("cannot write the hand-off file");
    }
    const std::optional<QByteArray> path = handoff::ReadFile(file);
    if (!path || path->size() > handoff::MaxPathBytes + 1 || path->contains('\0'))
        fuzz::Fail("the hand-off path is missing, too long, or holds a NUL");
    const QString name = QFile::decodeName(*path);

    // The path written again by a second start reads back as what that start meant.
    const QByteArray fitted = handoff::FitPath(*path);
    if (!handoff::WriteFile(file, *path))
        fuzz::Fail("cannot write the hand-off file again");
    const std::optional<QByteArray> again = handoff::ReadFile(file);
    if (!again || *again != fitted)
        fuzz::Fail("a handed-off path reads back differently");
    if (handoff::Fits(name) && handoff::EncodePath(name).size() > handoff::MaxPathBytes)
        fuzz::Fail("a path that does not fit is said to fit");
    return 0;
}
