#include "netutil/serverexchange.h"

#include "netutil/hostlookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vantrel {

bool ServerExchange::ReverseResolves(const QString& address)
{
    sockaddr_in peer{};
    if (inet_pton(AF_INET, address.toLatin1().constData(), &peer.sin_addr) != 1)
        return false;
    const hostlookup::Name name =
        hostlookup::ReverseName(ntohl(peer.sin_addr.s_addr), m_lookupStop);
    return name.outcome == hostlookup::Outcome::Found && !m_cancelled;
}

bool ServerExchange::WaitFor(int fd, short events, std::chrono::milliseconds timeout) const
{
    pollfd entry{fd, events, 0};
    int result = 0;
    do
        result = poll(&entry, 1, static_cast<int>(timeout.count()));
    while (result < 0 && errno == EINTR && !m_cancelled);
    return result > 0 && !m_cancelled;
}

void ServerExchange::Close()
{
    const std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::optional<QByteArray> ServerExchange::ReadUntilClosed(int fd, int maxBytes)
{
    QByteArray received;
    char buffer[16384];
    while (received.size() < maxBytes) {
        if (!WaitFor(fd, POLLIN, m_timeouts.reply))
            return std::nullopt; // silent, or cancelled
        const ssize_t n =
            ::recv(fd, buffer, std::min<qsizetype>(sizeof buffer, maxBytes - received.size()), 0);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        received.append(buffer, n);
    }
    if (m_cancelled)
        return std::nullopt;
    return received;
}

void ServerExchange::Cancel()
{
    m_cancelled = true;
    m_lookupStop.RequestStop();
    const std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

std::optional<QByteArray> ServerExchange::Ask(const QString& host, int port,
                                              const QByteArray& request, int maxBytes)
{
    return Exchange(host, port, request, maxBytes, false);
}

std::optional<QByteArray> ServerExchange::AskWhole(const QString& host, int port,
                                                   const QByteArray& request, int maxBytes)
{
    return Exchange(host, port, request, maxBytes, true);
}

std::optional<QByteArray> ServerExchange::Exchange(const QString& host, int port,
                                                   const QByteArray& request, int maxBytes,
                                                   bool whole)
{
    if (m_cancelled || host.isEmpty())
        return std::nullopt;
    const hostlookup::Address address = hostlookup::Resolve(host, m_lookupStop);
    if (address.outcome != hostlookup::Outcome::Found || m_cancelled)
        return std::nullopt;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(address.ipv4);
    server.sin_port = htons(static_cast<uint16_t>(port));

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return std::nullopt;
    {
        const std::lock_guard lock(m_mutex);
        m_fd = fd;
    }
    // A cancel that came before the socket existed finds nothing to shut down.
    if (m_cancelled) {
        Close();
        return std::nullopt;
    }
    std::optional<QByteArray> reply;
    const bool connected =
        (::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0 ||
         (errno == EINPROGRESS && WaitFor(fd, POLLOUT, m_timeouts.connect))) &&
        [fd] {
            int error = 0;
            socklen_t length = sizeof error;
            return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }();
    if (connected) {
        qsizetype sent = 0;
        while (sent < request.size() && !m_cancelled) {
            const ssize_t n =
                ::send(fd, request.constData() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else if (n < 0 && (errno == EAGAIN || errno == EINTR))
                WaitFor(fd, POLLOUT, m_timeouts.reply);
            else
                break;
        }
        if (sent == request.size() && !whole && WaitFor(fd, POLLIN, m_timeouts.reply)) {
            std::vector<char> buffer(static_cast<size_t>(maxBytes));
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n > 0 && !m_cancelled)
                reply = QByteArray(buffer.data(), n);
        } else if (sent == request.size() && whole) {
            reply = ReadUntilClosed(fd, maxBytes);
        }
    }
    Close();
    return reply;
}

} // namespace vantrel
