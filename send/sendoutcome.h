#pragma once

#include "send/sendnotice.h"

#include <QString>

#include <cstdint>

namespace vantrel {

// Where one outgoing transfer stands.
enum class SendState
{
    Preparing,         // first show done, compression running in the background
    Connecting,        // SEND pressed: connect, request, awaiting the reply
    Refused,           // the other side refused
    WaitingForArchive, // accepted; the data phase starts once the archive is complete
    Streaming,         // the data worker runs
    Broken,            // the data phase failed
    Completed,
    Closed,
};

// Why the last attempt ended, or stopped to wait for the user; None while nothing has.
// One value for each ending the send side tells apart, so that nothing has to read a status
// text to learn it.
enum class SendReason
{
    None,
    Delivered,
    Refused,
    VersionMismatch,     // the receiver runs another version
    Unresolved,          // the host name did not resolve
    Unreachable,         // no TCP connection
    NotTrusted,          // the receiver's certificate did not pass
    HandshakeFailed,     // the TLS handshake failed
    TlsUnavailable,      // no client context
    TrustListUnreadable, // the list of trusted authorities could not be loaded
    TrustListUnwritable, // trusting the receiver failed: the list could not be written
    TunnelClosed,        // the chosen tunnel is gone
    ConnectionReset,     // before the reply, or in the data phase
    PathMissing,         // the path to send does not exist
    NotSendable,         // neither a regular file nor a directory
    TooLarge,            // 4 GB or more
    NoName,              // the path has no last component
    NameTooLong,         // more than the 255 bytes of the name field
    CompressionFailed,
    NoSpaceToCompress,
    ArchiveTooLarge,  // the archive came to 4 GB or more
    SourceUnreadable, // the file or archive could not be opened, read or positioned
    SourceShrank,     // it ended before the announced length
    ChangedWhileSent, // a file of an archive made while sent changed
    ResumeBeyondEnd,  // the receiver asked to resume past the end of the data
    Cancelled,        // aborted, or closed before it ended
};

// What a send has come to: its state, why its last attempt ended, and its figures.
struct SendOutcome
{
    SendState state = SendState::Preparing;
    SendReason reason = SendReason::None;
    QString sourcePath;
    QString hostText;              // the receiver's host (as its row shows it), once it answered
    QString peerNickName;          // the receiver's nickname, once it answered
    QString refusalComment;        // what a refusing receiver wrote
    std::uint32_t totalSize = 0;   // of the source
    std::uint32_t streamBytes = 0; // what the data phase streams (the archive, or the file)
    std::uint32_t sentBytes = 0;   // the stream position reached, at the last change
};

// True once the send has ended, or has stopped while preparing at a failure that waits for
// the user: nothing more happens unless asked.
bool IsSettled(const SendOutcome& outcome);

// The ending a worker's failure status stands for; None for a status that is no failure.
SendReason ReasonOf(const SendNotice::Status& status);

} // namespace vantrel
