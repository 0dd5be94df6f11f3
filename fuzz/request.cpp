// The record that opens every conversation, as the listener and a registered tunnel read it: a
// transfer request or a tunnel registration, and the names and texts taken from it.
#include "scratchfolder.h"

#include "core/base/cututf8.h"
#include "net/wirerecords.h"
#include "receive/safename.h"
#include "tunnel/printablenick.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace vantrel;

namespace {

void CheckSafeName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        fuzz::Fail("a received name is empty, . or ..");
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QChar(0)))
        fuzz::Fail("a received name holds a separator or a NUL");
    if (name.toUtf8().size() > MaxFileNameBytes)
        fuzz::Fail("a received name is longer than a file name may be");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The readers decode whole records only: shorter inputs are padded with zeros, so that
    // every mutation is a record.
    std::array<std::uint8_t, RequestHeader::Size> record{};
    std::memcpy(record.data(), data, std::min(size, record.size()));
    const RequestHeader request = RequestHeader::Decode(record.data());
    if (request.nickName.size() > 32 || request.fileName.size() > 256 ||
        request.comment.size() > 256 || request.fileName.contains('\0'))
        fuzz::Fail("a text field reaches past its field");

    (void)request.VersionMatches();
    if (request.IsTunnelRegistration()) {
        (void)PrintableNick(request.nickName);
        return 0;
    }
    CheckSafeName(safename::SafeBaseName(request.fileName, false));
    CheckSafeName(safename::SafeBaseName(request.fileName, true));
    (void)safename::PrintableText(request.nickName);
    (void)safename::PrintableText(request.comment);
    (void)PrintableNick(request.nickName);

    // What a sender writes back from the same values reads back as the same request, texts cut
    // where a field ends.
    const std::array<std::uint8_t, RequestHeader::Size> image = request.Encode();
    const RequestHeader again = RequestHeader::Decode(image.data());
    if (again.kind != request.kind || again.versionA != request.versionA ||
        again.versionB != request.versionB || again.dirCount != request.dirCount ||
        again.fileCount != request.fileCount || again.totalSize != request.totalSize ||
        again.senderPort != request.senderPort || again.rawFlag != request.rawFlag)
        fuzz::Fail("a number changed on its way through a request");
    if (again.nickName != CutUtf8(request.nickName, MaxNickNameBytes) ||
        again.comment != CutUtf8(request.comment, MaxCommentBytes))
        fuzz::Fail("a text changed on its way through a request");
    if (FitsFileName(request.fileName) ? again.fileName != request.fileName
                                       : !again.fileName.isEmpty())
        fuzz::Fail("a file name changed on its way through a request");
    return 0;
}
