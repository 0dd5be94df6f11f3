#pragma once

#include "net/tlssession.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel::tunnel {

// What the tunnel opener's worker reports to the opener on the UI thread, in order.
struct OpenerNotice
{
    enum class Kind
    {
        Status, // statusText in black
        Failed, // statusText in red: the attempt is over, OPEN again
        Opened, // session and host: the tunnel is registered at the peer
    };

    Kind kind = Kind::Status;
    std::uint64_t run = 0; // which OPEN this belongs to; an aborted run's notices are ignored
    QString statusText;
    std::unique_ptr<TlsSession> session;
    QString host; // as parsed from the host text, without port
};

} // namespace vantrel::tunnel
