#include "tests/engine/rawpeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace vantrel::test {

namespace {

constexpr std::uint32_t Localhost = 0x7F000001;
constexpr int ReadDeadlineSeconds = 30;

void SetReadDeadline(int fd)
{
    timeval limit{};
    limit.tv_sec = ReadDeadlineSeconds;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// A loopback listener on a free port; -1 on failure.
int Listen(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(Localhost);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

RawClient::RawClient(const QString& trustListFile, int port)
    : m_context(SecureChannel::CreateClientContext())
{
    if (!m_context)
        return;
    SecureChannel::ConnectResult result = SecureChannel::ConnectSession(
        *m_context, trustListFile, Localhost, static_cast<std::uint16_t>(port), {});
    m_session = std::move(result.session);
    if (m_session)
        SetReadDeadline(m_session->SocketDescriptor());
}

RawClient::~RawClient()
{
    Close();
}

bool RawClient::WriteBytes(const QByteArray& bytes)
{
    return m_session && m_session->Write(bytes.constData(), static_cast<int>(bytes.size())) ==
                            static_cast<int>(bytes.size());
}

std::optional<ReplyHeader> RawClient::ReadReply()
{
    if (!m_session)
        return std::nullopt;
    return vantrel::ReadReply(*m_session);
}

void RawClient::Close()
{
    if (m_session)
        m_session->Close();
    m_session.reset();
}

OneRequestServer::OneRequestServer(const QString& programFolder, Script script)
    : m_script(std::move(script)), m_context(SecureChannel::CreateServerContext(
                                       programFolder + QStringLiteral("/servercert.pem"),
                                       programFolder + QStringLiteral("/serverkey.pem")))
{
    if (!m_context)
        return;
    m_listenFd = Listen(m_port);
    if (m_listenFd >= 0)
        m_thread = std::thread(&OneRequestServer::Run, this);
}

OneRequestServer::OneRequestServer(const QString& programFolder, ReplyHeader reply)
    : OneRequestServer(programFolder, [reply](TlsSession& session) { WriteReply(session, reply); })
{
}

OneRequestServer::~OneRequestServer()
{
    if (m_listenFd >= 0)
        ::shutdown(m_listenFd, SHUT_RDWR); // wakes an accept that still waits
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

QString OneRequestServer::hostText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void OneRequestServer::Run()
{
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        SetReadDeadline(fd);
        std::unique_ptr<TlsSession> session = SecureChannel::AcceptSession(*m_context, fd);
        if (session) {
            m_request = vantrel::ReadRequest(*session);
            if (m_request && m_script)
                m_script(*session);
            session->Close();
        }
    }
    m_finished.store(true);
}

SilentListener::SilentListener()
{
    m_fd = Listen(m_port);
}

SilentListener::~SilentListener()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace vantrel::test
