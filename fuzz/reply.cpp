// The receiver's answer as a sender reads it; a reply cut short reads its missing bytes as 0.
#include "scratchfolder.h"

#include "core/base/cututf8.h"
#include "net/wirerecords.h"
#include "receive/safename.h"

#include <array>
#include <cstddef>
#include <cstdint>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > ReplyHeader::Size)
        return 0;
    const ReplyHeader reply = ReplyHeader::Decode(data, static_cast<int>(size));
    if (reply.nickName.size() > 32 || reply.comment.size() > 256)
        fuzz::Fail("a text field reaches past its field");
    (void)reply.IsAccepted();
    (void)reply.IsVersionMismatch();
    (void)safename::PrintableText(reply.nickName);
    (void)safename::PrintableText(reply.comment);

    const std::array<std::uint8_t, ReplyHeader::Size> image = reply.Encode();
    const ReplyHeader again = ReplyHeader::Decode(image.data(), ReplyHeader::Size);
    if (again.kind != reply.kind || again.accepted != reply.accepted ||
        again.reason != reply.reason || again.resumeOffset != reply.resumeOffset ||
        again.nickName != CutUtf8(reply.nickName, MaxNickNameBytes) ||
        again.comment != CutUtf8(reply.comment, MaxCommentBytes))
        fuzz::Fail("a reply changed on its way through");
    return 0;
}
