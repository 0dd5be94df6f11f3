#include "tests/net/loopback.h"

#include "net/securechannel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <thread>

namespace vantrel::test {

LoopbackListener::LoopbackListener()
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(LocalhostAddress);
    socklen_t length = sizeof address;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_fd, 8) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int LoopbackListener::Accept()
{
    return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
}

bool LoopbackListener::HasPendingConnection() const
{
    pollfd entry{m_fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

void LoopbackListener::Cancel()
{
    ::shutdown(m_fd, SHUT_RDWR);
}

SessionPair ConnectPair(const QString& profileFolder)
{
    SessionPair pair;
    LoopbackListener listener;
    auto serverContext =
        SecureChannel::CreateServerContext(profileFolder + QStringLiteral("/servercert.pem"),
                                           profileFolder + QStringLiteral("/serverkey.pem"));
    auto clientContext = SecureChannel::CreateClientContext();
    if (!serverContext || !clientContext || listener.port() == 0)
        return pair;
    std::thread server(
        [&] { pair.server = SecureChannel::AcceptSession(*serverContext, listener.Accept()); });
    auto result = SecureChannel::ConnectSession(*clientContext,
                                                profileFolder + QStringLiteral("/clientcalist.pem"),
                                                LocalhostAddress, listener.port(), {});
    if (!result.session)
        listener.Cancel(); // the server may still be waiting for a connection
    server.join();
    pair.client = std::move(result.session);
    if (!pair.client || !pair.server)
        return {};
    return pair;
}

void SetReadDeadline(TlsSession& session, int ms)
{
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(session.SocketDescriptor(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

} // namespace vantrel::test
