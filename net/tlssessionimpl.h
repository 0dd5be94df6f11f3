#pragma once

// Private to net/: what a TlsSession holds. Included only by net/*.cpp.

#include "net/opensslhandles.h"
#include "net/tlssession.h"

#include <cstdint>
#include <mutex>

namespace vantrel {

struct TlsSession::Impl
{
    Impl(ossl::SslPtr session, int socketFd, std::uint32_t address, std::uint16_t port)
        : ssl(std::move(session)), fd(socketFd), peerAddress(address), peerPort(port)
    {
    }

    ossl::SslPtr ssl;
    // Guarded by fdMutex, because Interrupt() may run on another thread while the owner
    // closes the socket.
    int fd = -1;
    std::mutex fdMutex;
    std::uint32_t peerAddress = 0;
    std::uint16_t peerPort = 0;
    bool buffered = false;
    // A fatal library or socket error was seen: a TLS shutdown would be pointless.
    bool broken = false;
};

} // namespace vantrel
