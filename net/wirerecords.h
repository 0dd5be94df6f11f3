#pragma once

#include "core/base/cututf8.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>

namespace vantrel {

class TlsSession;

enum class MessageKind : std::int32_t
{
    TransferRequest = 0,
    Reply = 1,
    Data = 2,
    TunnelRegistration = 3,
};

constexpr std::uint16_t ProtocolVersionA = 1;
constexpr std::uint16_t ProtocolVersionB = 4;

// The port a copy listens on unless told otherwise, and the one a peer's address means
// when it names none.
constexpr int DefaultServerPort = 12666;

// Sizes travel as 32 bits: a stream of this many bytes or more cannot be announced.
constexpr std::uint64_t SizeFieldLimit = std::uint64_t{1} << 32;

// The request's and the data header's raw flag.
constexpr std::int32_t RawFlagArchive = 0; // a zip archive follows
constexpr std::int32_t RawFlagRaw = 1;     // the file itself follows

// Why a reply says what it says.
enum class ReplyReason : std::int32_t
{
    None = 0,            // accepted (or resumed)
    VersionMismatch = 1, // the request's protocol version is not ours
    Refused = 2,         // refused by the user, with the refusal as comment
};

// Text fields hold the raw bytes of the field up to its first NUL (UTF-8 on this platform).
// Longest texts that travel (each field keeps room for its NUL).
constexpr int MaxNickNameBytes = 31;
constexpr int MaxFileNameBytes = 255;
constexpr int MaxCommentBytes = 255;

// The record that opens every conversation: a transfer request or a tunnel registration.
struct RequestHeader
{
    static constexpr int Size = 572;

    std::int32_t kind = static_cast<std::int32_t>(MessageKind::TransferRequest);
    std::uint16_t versionA = ProtocolVersionA;
    std::uint16_t versionB = ProtocolVersionB;
    QByteArray nickName; // at most 31 bytes travel
    QByteArray fileName; // at most 255 bytes; a longer base name is refused by the writer
    QByteArray comment;  // at most 255 bytes travel
    std::uint32_t dirCount = 0;
    std::uint32_t fileCount = 0;
    std::uint32_t totalSize = 0;
    std::int32_t senderPort = 0;
    std::int32_t rawFlag = RawFlagArchive; // any other value announces the file itself

    bool VersionMatches() const
    {
        return versionA == ProtocolVersionA && versionB == ProtocolVersionB;
    }
    bool IsTunnelRegistration() const
    {
        return kind == static_cast<std::int32_t>(MessageKind::TunnelRegistration);
    }

    // Nick name and comment are cut to fit (never inside a UTF-8 character). A file name
    // is never cut, which would name another file: one that does not fit (see
    // FitsFileName) is left out, the field all zero, and WriteRequest refuses it.
    std::array<std::uint8_t, Size> Encode() const;
    static RequestHeader Decode(const std::uint8_t* bytes); // exactly Size bytes
};

// True when a base name fits the request's file name field whole (at most 255 bytes).
bool FitsFileName(const QByteArray& fileName);

// The answer to a transfer request, in one of four forms.
struct ReplyHeader
{
    static constexpr int Size = 304;

    std::int32_t kind = static_cast<std::int32_t>(MessageKind::Reply);
    std::int32_t accepted = 0;
    std::int32_t reason = static_cast<std::int32_t>(ReplyReason::None); // a ReplyReason
    std::uint32_t resumeOffset = 0;
    QByteArray nickName;
    QByteArray comment;

    static ReplyHeader Accept(const QByteArray& ownNick);
    static ReplyHeader Resume(const QByteArray& ownNick, std::uint32_t offset);
    static ReplyHeader Refuse(const QByteArray& ownNick, const QByteArray& comment);
    static ReplyHeader VersionMismatch(const QByteArray& ownNick);

    bool IsAccepted() const { return accepted != 0; }
    bool IsVersionMismatch() const
    {
        return accepted == 0 && reason == static_cast<std::int32_t>(ReplyReason::VersionMismatch);
    }

    std::array<std::uint8_t, Size> Encode() const;
    static ReplyHeader Decode(const std::uint8_t* bytes, int available); // missing bytes read as 0
};

// Precedes the data stream.
struct DataHeader
{
    static constexpr int Size = 12;

    std::int32_t kind = static_cast<std::int32_t>(MessageKind::Data);
    std::int32_t rawFlag = RawFlagArchive; // RawFlagRaw = the file itself; else a zip archive
    std::uint32_t streamSize = 0; // whole stream length, not reduced by a resume offset

    bool IsRaw() const { return rawFlag == RawFlagRaw; }

    std::array<std::uint8_t, Size> Encode() const;
    static DataHeader Decode(const std::uint8_t* bytes);
};

// Record exchange over a session. Reads collect exactly the record's size (a record is
// written with one call, but a reader does not rely on it arriving in one piece); any
// shortfall is a failure of that connection only.

// One write of the whole record; false when it did not all go, or (without writing
// anything) when the file name does not fit.
bool WriteRequest(TlsSession& session, const RequestHeader& header);
std::optional<RequestHeader> ReadRequest(TlsSession& session);
bool WriteReply(TlsSession& session, const ReplyHeader& reply); // false unless all 304 bytes went
// Nothing when no byte arrived; a reply cut short by the peer reads its missing bytes as 0.
std::optional<ReplyHeader> ReadReply(TlsSession& session);
bool WriteDataHeader(TlsSession& session, const DataHeader& header);
std::optional<DataHeader> ReadDataHeader(TlsSession& session);

} // namespace vantrel
