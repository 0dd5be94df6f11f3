#pragma once

#include "net/tlssession.h"
#include "net/wirerecords.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vantrel {
class ServerContext;
}

namespace vantrel::test {

// The receiving side of one transfer, played from a script on its own thread: it accepts one
// TLS connection on 127.0.0.1 (or is handed a session), reads the request, answers as told
// and reads the data header and the stream until the announced end or the sender's close.
class ScriptedReceiver
{
public:
    enum class Answer
    {
        Accept,            // reply Accept/Resume, read everything
        Refuse,            // reply Refuse with `comment`
        VersionMismatch,   // reply the version-mismatch form
        CloseWithoutReply, // close the session after the request
        NeverReply,        // keep silent until the sender goes away
        AcceptThenStall,   // accept, read the data header, then stop reading until Release()
    };

    struct Script
    {
        Answer answer = Answer::Accept;
        std::uint32_t resumeOffset = 0;
        QByteArray nickName = QByteArrayLiteral("Bob");
        QByteArray comment;
        // Runs on the receiver's thread after the request has been read, before the reply.
        std::function<void()> beforeReply;
        // Keep the stream's bytes (off: only count them, for large streams).
        bool keepData = true;
    };

    // Listens with "servercert.pem" / "serverkey.pem" of `certificateFolder`.
    ScriptedReceiver(const QString& certificateFolder, Script script);
    // Plays the script over a session that is already established (the far end of a tunnel).
    ScriptedReceiver(std::unique_ptr<TlsSession> session, Script script);
    ~ScriptedReceiver(); // releases a stall, stops listening and joins
    ScriptedReceiver(const ScriptedReceiver&) = delete;
    ScriptedReceiver& operator=(const ScriptedReceiver&) = delete;

    bool listening() const { return m_listenFd >= 0; }
    std::uint16_t port() const { return m_port; }
    QString hostText() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    void Release();
    bool finished() const { return m_finished.load(std::memory_order_acquire); }
    bool requestRead() const { return m_requestRead.load(std::memory_order_acquire); }
    std::uint32_t receivedBytes() const { return m_received.load(std::memory_order_acquire); }

    // Valid once finished().
    const std::optional<RequestHeader>& request() const { return m_request; }
    const std::optional<DataHeader>& dataHeader() const { return m_dataHeader; }
    const QByteArray& data() const { return m_data; }
    // The sender closed after the stream, with nothing beyond the announced length.
    bool endedCleanly() const { return m_endedCleanly; }

private:
    void Run();
    void Play(TlsSession& session);
    void ReadStream(TlsSession& session);

    Script m_script;
    std::unique_ptr<ServerContext> m_context;
    std::unique_ptr<TlsSession> m_givenSession;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_release = false;

    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_requestRead{false};
    std::atomic<std::uint32_t> m_received{0};
    std::optional<RequestHeader> m_request;
    std::optional<DataHeader> m_dataHeader;
    QByteArray m_data;
    bool m_endedCleanly = false;
    std::thread m_thread;
};

} // namespace vantrel::test
