#pragma once

#include "net/servercontext.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace vantrel::test {

// The far end of a receive tunnel played by hand: a listener on 127.0.0.1 with the
// certificate files of a program folder that takes one connection, reads the registration
// and then runs `script` on the session (on its own thread), before closing it.
class TunnelPeer
{
public:
    using Script = std::function<void(TlsSession& session)>;

    TunnelPeer(const QString& programFolder, Script script);
    ~TunnelPeer(); // stops waiting and joins

    bool listening() const { return m_listenFd >= 0; }
    QString hostText() const;
    bool finished() const { return m_finished.load(); }
    // Valid once finished.
    const std::optional<RequestHeader>& registration() const { return m_registration; }

private:
    void Run();

    Script m_script;
    std::unique_ptr<ServerContext> m_context;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_finished{false};
    std::optional<RequestHeader> m_registration;
    std::thread m_thread;
};

// A TCP listener on 127.0.0.1 that completes connections in the kernel and never says a
// word: a handshake with it waits for ever.
class SilentListener
{
public:
    SilentListener();
    ~SilentListener();
    bool listening() const { return m_fd >= 0; }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

} // namespace vantrel::test
