#include "net/wirerecords.h"

#include "core/base/littleendian.h"
#include "net/tlssession.h"

#include <cstring>

namespace vantrel {

namespace {

using namespace littleendian;

// RequestHeader offsets.
constexpr int RequestKind = 0;
constexpr int RequestVersionA = 4;
constexpr int RequestVersionB = 6;
constexpr int RequestNickName = 8;
constexpr int RequestFileName = 40;
constexpr int RequestComment = 296;
constexpr int RequestDirCount = 552;
constexpr int RequestFileCount = 556;
constexpr int RequestTotalSize = 560;
constexpr int RequestSenderPort = 564;
constexpr int RequestRawFlag = 568;

// ReplyHeader offsets.
constexpr int ReplyKind = 0;
constexpr int ReplyAccepted = 4;
constexpr int ReplyReasonAt = 8;
constexpr int ReplyResumeOffset = 12;
constexpr int ReplyNickName = 16;
constexpr int ReplyComment = 48;

// DataHeader offsets.
constexpr int DataKind = 0;
constexpr int DataRawFlag = 4;
constexpr int DataStreamSize = 8;

constexpr int NickNameField = 32;
constexpr int FileNameField = 256;
constexpr int CommentField = 256;

// The caller has made the text fit with room for the NUL; the rest of the field stays 0.
void PutText(std::uint8_t* field, const QByteArray& text)
{
    std::memcpy(field, text.constData(), static_cast<std::size_t>(text.size()));
}

// Up to the first NUL, never past the field's end.
QByteArray GetText(const std::uint8_t* field, int fieldSize)
{
    const void* nul = std::memchr(field, 0, static_cast<std::size_t>(fieldSize));
    const auto length = nul ? static_cast<const std::uint8_t*>(nul) - field : fieldSize;
    return QByteArray(reinterpret_cast<const char*>(field), static_cast<qsizetype>(length));
}

// Collects up to `size` bytes with as many reads as it takes; stops at the first read
// that yields nothing. Returns the count collected.
int ReadUpTo(TlsSession& session, std::uint8_t* buffer, int size)
{
    int got = 0;
    while (got < size) {
        const int n = session.Read(buffer + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    return got;
}

template <std::size_t N>
bool WriteWhole(TlsSession& session, const std::array<std::uint8_t, N>& image)
{
    return session.Write(image.data(), static_cast<int>(N)) == static_cast<int>(N);
}

} // namespace

bool FitsFileName(const QByteArray& fileName)
{
    return fileName.size() <= MaxFileNameBytes;
}

std::array<std::uint8_t, RequestHeader::Size> RequestHeader::Encode() const
{
    std::array<std::uint8_t, Size> image{};
    std::uint8_t* b = image.data();
    PutI32(b + RequestKind, kind);
    PutU16(b + RequestVersionA, versionA);
    PutU16(b + RequestVersionB, versionB);
    PutText(b + RequestNickName, CutUtf8(nickName, MaxNickNameBytes));
    if (FitsFileName(fileName))
        PutText(b + RequestFileName, fileName);
    PutText(b + RequestComment, CutUtf8(comment, MaxCommentBytes));
    PutU32(b + RequestDirCount, dirCount);
    PutU32(b + RequestFileCount, fileCount);
    PutU32(b + RequestTotalSize, totalSize);
    PutI32(b + RequestSenderPort, senderPort);
    PutI32(b + RequestRawFlag, rawFlag);
    return image;
}

RequestHeader RequestHeader::Decode(const std::uint8_t* b)
{
    RequestHeader h;
    h.kind = GetI32(b + RequestKind);
    h.versionA = GetU16(b + RequestVersionA);
    h.versionB = GetU16(b + RequestVersionB);
    h.nickName = GetText(b + RequestNickName, NickNameField);
    h.fileName = GetText(b + RequestFileName, FileNameField);
    h.comment = GetText(b + RequestComment, CommentField);
    h.dirCount = GetU32(b + RequestDirCount);
    h.fileCount = GetU32(b + RequestFileCount);
    h.totalSize = GetU32(b + RequestTotalSize);
    h.senderPort = GetI32(b + RequestSenderPort);
    h.rawFlag = GetI32(b + RequestRawFlag);
    return h;
}

ReplyHeader ReplyHeader::Accept(const QByteArray& ownNick)
{
    ReplyHeader r;
    r.accepted = 1;
    r.nickName = ownNick;
    return r;
}

ReplyHeader ReplyHeader::Resume(const QByteArray& ownNick, std::uint32_t offset)
{
    ReplyHeader r = Accept(ownNick);
    r.resumeOffset = offset;
    return r;
}

ReplyHeader ReplyHeader::Refuse(const QByteArray& ownNick, const QByteArray& refusal)
{
    ReplyHeader r;
    r.reason = static_cast<std::int32_t>(ReplyReason::Refused);
    r.nickName = ownNick;
    r.comment = refusal;
    return r;
}

ReplyHeader ReplyHeader::VersionMismatch(const QByteArray& ownNick)
{
    ReplyHeader r;
    r.reason = static_cast<std::int32_t>(ReplyReason::VersionMismatch);
    r.nickName = ownNick;
    return r;
}

std::array<std::uint8_t, ReplyHeader::Size> ReplyHeader::Encode() const
{
    std::array<std::uint8_t, Size> image{};
    std::uint8_t* b = image.data();
    PutI32(b + ReplyKind, kind);
    PutI32(b + ReplyAccepted, accepted);
    PutI32(b + ReplyReasonAt, reason);
    PutU32(b + ReplyResumeOffset, resumeOffset);
    PutText(b + ReplyNickName, CutUtf8(nickName, MaxNickNameBytes));
    PutText(b + ReplyComment, CutUtf8(comment, MaxCommentBytes));
    return image;
}

ReplyHeader ReplyHeader::Decode(const std::uint8_t* bytes, int available)
{
    std::array<std::uint8_t, Size> image{};
    if (available > 0)
        std::memcpy(image.data(), bytes, static_cast<std::size_t>(std::min(available, Size)));
    const std::uint8_t* b = image.data();
    ReplyHeader r;
    r.kind = GetI32(b + ReplyKind);
    r.accepted = GetI32(b + ReplyAccepted);
    r.reason = GetI32(b + ReplyReasonAt);
    r.resumeOffset = GetU32(b + ReplyResumeOffset);
    r.nickName = GetText(b + ReplyNickName, NickNameField);
    r.comment = GetText(b + ReplyComment, CommentField);
    return r;
}

std::array<std::uint8_t, DataHeader::Size> DataHeader::Encode() const
{
    std::array<std::uint8_t, Size> image{};
    PutI32(image.data() + DataKind, kind);
    PutI32(image.data() + DataRawFlag, rawFlag);
    PutU32(image.data() + DataStreamSize, streamSize);
    return image;
}

DataHeader DataHeader::Decode(const std::uint8_t* b)
{
    DataHeader h;
    h.kind = GetI32(b + DataKind);
    h.rawFlag = GetI32(b + DataRawFlag);
    h.streamSize = GetU32(b + DataStreamSize);
    return h;
}

bool WriteRequest(TlsSession& session, const RequestHeader& header)
{
    if (!FitsFileName(header.fileName))
        return false;
    return WriteWhole(session, header.Encode());
}

std::optional<RequestHeader> ReadRequest(TlsSession& session)
{
    std::array<std::uint8_t, RequestHeader::Size> image{};
    if (ReadUpTo(session, image.data(), RequestHeader::Size) != RequestHeader::Size)
        return std::nullopt;
    return RequestHeader::Decode(image.data());
}

bool WriteReply(TlsSession& session, const ReplyHeader& reply)
{
    return WriteWhole(session, reply.Encode());
}

std::optional<ReplyHeader> ReadReply(TlsSession& session)
{
    std::array<std::uint8_t, ReplyHeader::Size> image{};
    const int got = ReadUpTo(session, image.data(), ReplyHeader::Size);
    if (got <= 0)
        return std::nullopt;
    return ReplyHeader::Decode(image.data(), got);
}

bool WriteDataHeader(TlsSession& session, const DataHeader& header)
{
    return WriteWhole(session, header.Encode());
}

std::optional<DataHeader> ReadDataHeader(TlsSession& session)
{
    std::array<std::uint8_t, DataHeader::Size> image{};
    if (ReadUpTo(session, image.data(), DataHeader::Size) != DataHeader::Size)
        return std::nullopt;
    return DataHeader::Decode(image.data());
}

} // namespace vantrel
