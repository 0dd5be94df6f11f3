#pragma once

#include "net/tlssession.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel::test {

constexpr std::uint32_t LocalhostAddress = 0x7F000001; // 127.0.0.1, host order

// A TCP listener on 127.0.0.1 with a port of the system's choosing.
class LoopbackListener
{
public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    std::uint16_t port() const { return m_port; }
    // Blocks until a connection arrives; -1 on failure.
    int Accept();
    // Zero-wait: has a connection arrived that nobody accepted yet?
    bool HasPendingConnection() const;
    // Wakes a blocked Accept(), which then fails.
    void Cancel();

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

// A verified client session and the server session it talks to, over loopback, with the
// certificate files of `profileFolder` on both sides. Both empty on failure.
struct SessionPair
{
    std::unique_ptr<TlsSession> client;
    std::unique_ptr<TlsSession> server;
};
SessionPair ConnectPair(const QString& profileFolder);

// A blocking read on the session's socket fails after `ms` instead of waiting for ever,
// so that a fault shows as a failed read rather than a hung test.
void SetReadDeadline(TlsSession& session, int ms);

} // namespace vantrel::test
