#include "tests/tunnel/tunnelpeer.h"

#include "net/securechannel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace vantrel::test {

namespace {

constexpr std::uint32_t Localhost = 0x7F000001;

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

TunnelPeer::TunnelPeer(const QString& programFolder, Script script)
    : m_script(std::move(script)), m_context(SecureChannel::CreateServerContext(
                                       programFolder + QStringLiteral("/servercert.pem"),
                                       programFolder + QStringLiteral("/serverkey.pem")))
{
    if (!m_context)
        return;
    m_listenFd = Listen(m_port);
    if (m_listenFd >= 0)
        m_thread = std::thread(&TunnelPeer::Run, this);
}

TunnelPeer::~TunnelPeer()
{
    if (m_listenFd >= 0)
        ::shutdown(m_listenFd, SHUT_RDWR); // wakes an accept that still waits
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

QString TunnelPeer::hostText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void TunnelPeer::Run()
{
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        timeval limit{};
        limit.tv_sec = 30; // a read gives up instead of hanging the test
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::unique_ptr<TlsSession> session = SecureChannel::AcceptSession(*m_context, fd);
        if (session) {
            m_registration = vantrel::ReadRequest(*session);
            if (m_registration && m_script)
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
