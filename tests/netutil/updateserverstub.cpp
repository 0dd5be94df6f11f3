#include "tests/netutil/updateserverstub.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantrel::test {

UpdateServerStub::UpdateServerStub()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listenFd, 8);
    socklen_t length = sizeof address;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

UpdateServerStub::~UpdateServerStub()
{
    m_stopping = true;
    ::shutdown(m_listenFd, SHUT_RDWR);
    m_thread.join();
    ::close(m_listenFd);
}

void UpdateServerStub::SetReply(const QByteArray& first, const QByteArray& later,
                                std::chrono::milliseconds pause)
{
    const std::lock_guard lock(m_mutex);
    m_first = first;
    m_later = later;
    m_pause = pause;
    m_silent = false;
}

void UpdateServerStub::SetSilent()
{
    const std::lock_guard lock(m_mutex);
    m_silent = true;
}

QByteArray UpdateServerStub::lastRequest() const
{
    const std::lock_guard lock(m_mutex);
    return m_lastRequest;
}

void UpdateServerStub::Serve()
{
    while (!m_stopping) {
        pollfd entry{m_listenFd, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // The request ends with an empty line (with or without carriage returns).
        QByteArray request;
        char buffer[512];
        while (!request.endsWith("\n\n") && !request.endsWith("\r\n\r\n")) {
            pollfd in{fd, POLLIN, 0};
            if (::poll(&in, 1, 2000) <= 0)
                break;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, n);
        }
        QByteArray first, later;
        std::chrono::milliseconds pause{0};
        bool silent = false;
        {
            const std::lock_guard lock(m_mutex);
            m_lastRequest = request;
            first = m_first;
            later = m_later;
            pause = m_pause;
            silent = m_silent;
        }
        ++m_requests;
        if (silent) {
            // Until the client hangs up or the stub ends.
            while (!m_stopping) {
                pollfd in{fd, POLLIN, 0};
                if (::poll(&in, 1, 50) > 0 && ::recv(fd, buffer, sizeof buffer, 0) <= 0)
                    break;
            }
        } else {
            ::send(fd, first.constData(), first.size(), MSG_NOSIGNAL);
            if (!later.isEmpty()) {
                std::this_thread::sleep_for(pause);
                ::send(fd, later.constData(), later.size(), MSG_NOSIGNAL);
            }
        }
        ::close(fd);
    }
}

} // namespace vantrel::test
