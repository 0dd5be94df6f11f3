#pragma once

#include "net/tlssession.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel {

// A connection that passed the handshake, handed from the listener's connection thread (or a
// tunnel's waiting thread) to the hub with its message. Its owner frees it.
struct IncomingConnection
{
    std::uint32_t peerAddress = 0; // IPv4, host byte order
    std::uint16_t peerPort = 0;
    std::unique_ptr<TlsSession> session; // none once closed (a dropped request)
    QString peerName;                    // at most 511 bytes
};

} // namespace vantrel
