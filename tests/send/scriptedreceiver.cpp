#include "tests/send/scriptedreceiver.h"

#include "net/securechannel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantrel::test {

ScriptedReceiver::ScriptedReceiver(const QString& certificateFolder, Script script)
    : m_script(std::move(script))
{
    m_context =
        SecureChannel::CreateServerContext(certificateFolder + QStringLiteral("/servercert.pem"),
                                           certificateFolder + QStringLiteral("/serverkey.pem"));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!m_context || fd < 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        m_finished.store(true);
        return;
    }
    m_listenFd = fd;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

ScriptedReceiver::ScriptedReceiver(std::unique_ptr<TlsSession> session, Script script)
    : m_script(std::move(script)), m_givenSession(std::move(session))
{
    m_thread = std::thread([this] { Run(); });
}

ScriptedReceiver::~ScriptedReceiver()
{
    m_cancel.store(true);
    Release();
    if (m_givenSession)
        m_givenSession->Interrupt();
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

void ScriptedReceiver::Release()
{
    std::lock_guard lock(m_mutex);
    m_release = true;
    m_released.notify_all();
}

void ScriptedReceiver::Run()
{
    if (m_givenSession) {
        Play(*m_givenSession);
        m_givenSession->Close();
        m_finished.store(true, std::memory_order_release);
        return;
    }
    int socketFd = -1;
    while (!m_cancel.load()) {
        pollfd entry{m_listenFd, POLLIN, 0};
        if (::poll(&entry, 1, 20) > 0) {
            socketFd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            break;
        }
    }
    if (socketFd >= 0) {
        std::unique_ptr<TlsSession> session = SecureChannel::AcceptSession(*m_context, socketFd);
        if (session) {
            Play(*session);
            session->Close();
        }
    }
    m_finished.store(true, std::memory_order_release);
}

void ScriptedReceiver::Play(TlsSession& session)
{
    m_request = ReadRequest(session);
    m_requestRead.store(true, std::memory_order_release);
    if (!m_request)
        return;
    if (m_script.beforeReply)
        m_script.beforeReply();

    switch (m_script.answer) {
    case Answer::Accept:
    case Answer::AcceptThenStall:
        WriteReply(session, m_script.resumeOffset > 0
                                ? ReplyHeader::Resume(m_script.nickName, m_script.resumeOffset)
                                : ReplyHeader::Accept(m_script.nickName));
        break;
    case Answer::Refuse:
        WriteReply(session, ReplyHeader::Refuse(m_script.nickName, m_script.comment));
        return;
    case Answer::VersionMismatch:
        WriteReply(session, ReplyHeader::VersionMismatch(m_script.nickName));
        return;
    case Answer::CloseWithoutReply:
        return;
    case Answer::NeverReply: {
        char byte = 0;
        session.Read(&byte, 1); // returns once the sender has gone
        return;
    }
    }

    m_dataHeader = ReadDataHeader(session);
    if (!m_dataHeader)
        return;
    if (m_script.answer == Answer::AcceptThenStall) {
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return m_release; });
        return;
    }
    ReadStream(session);
}

void ScriptedReceiver::ReadStream(TlsSession& session)
{
    const std::uint32_t expected = m_dataHeader->streamSize > m_script.resumeOffset
                                       ? m_dataHeader->streamSize - m_script.resumeOffset
                                       : 0;
    char buffer[16384];
    std::uint32_t received = 0;
    while (received < expected) {
        const int got = session.Read(buffer, sizeof buffer);
        if (got <= 0)
            return;
        if (m_script.keepData)
            m_data.append(buffer, got);
        received += static_cast<std::uint32_t>(got);
        m_received.store(received, std::memory_order_release);
    }
    // Nothing may follow the announced end: the sender closes.
    m_endedCleanly = session.Read(buffer, sizeof buffer) <= 0 && received == expected;
}

} // namespace vantrel::test
