#pragma once

#include "net/securechannel.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace vantrel::test {

// The far side of a copy played by hand: records that the program itself never writes.

// A verified TLS client connected to 127.0.0.1:port, trusting the authorities of one trust
// list. Its reads give up after a while instead of hanging a test.
class RawClient
{
public:
    RawClient(const QString& trustListFile, int port);
    ~RawClient();

    bool connected() const { return m_session != nullptr; }
    TlsSession& session() { return *m_session; }
    bool WriteBytes(const QByteArray& bytes);
    std::optional<ReplyHeader> ReadReply();
    void Close();

private:
    std::unique_ptr<ClientContext> m_context;
    std::unique_ptr<TlsSession> m_session;
};

// A listener on 127.0.0.1 with the certificate files of a program folder that takes one
// connection, reads its request (or tunnel registration), runs `script` on the session on its
// own thread, and closes. Reads give up after a while instead of hanging a test.
class OneRequestServer
{
public:
    using Script = std::function<void(TlsSession& session)>;

    OneRequestServer(const QString& programFolder, Script script);
    // Answers the request with `reply`.
    OneRequestServer(const QString& programFolder, ReplyHeader reply);
    ~OneRequestServer(); // stops waiting and joins

    bool listening() const { return m_listenFd >= 0; }
    QString hostText() const;
    bool finished() const { return m_finished.load(); }
    // Valid once finished.
    const std::optional<RequestHeader>& request() const { return m_request; }

private:
    void Run();

    Script m_script;
    std::unique_ptr<ServerContext> m_context;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_finished{false};
    std::optional<RequestHeader> m_request;
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
