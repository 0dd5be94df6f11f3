#pragma once

namespace vantrel {

// What the connect worker reports on the status line, in order, before the data phase.
enum class ConnectStatus
{
    Resolving,
    TlsUnavailable,   // no client context
    Unresolved,       // subject: the host
    Connecting,       // subject: the dotted address
    Awaiting,         // the request is written, the reply awaited
    ResetBeforeReply, // subject: the peer
    Confirmed,        // subject: the receiver's nickname
    OtherVersion,
    Refused, // subject: the receiver's nickname
};

} // namespace vantrel
