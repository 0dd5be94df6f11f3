#include "receive/listener.h"

#include "net/securechannel.h"
#include "receive/connectiontriage.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <map>

namespace vantrel {

namespace {

// How long the accepting thread sleeps at most between looks at the connections' clocks
// and at finished threads.
constexpr int MaxPollMs = 1000;
// The pause after accept failed for want of resources (descriptors, memory).
constexpr int BackOffMs = 100;

} // namespace

Listener::Listener(ProgramFolder folder, IncomingPolicy& policy, DynDnsBook& book,
                   std::function<QByteArray()> ownNickName, HubInbox* eventTarget)
    : m_folder(std::move(folder)), m_policy(policy), m_book(book),
      m_ownNickName(std::move(ownNickName)), m_eventTarget(eventTarget)
{
}

Listener::~Listener()
{
    Stop();
}

bool Listener::Start(int port)
{
    if (IsListening())
        return false;
    m_portInUse.store(port, std::memory_order_release);
    if (port < 0 || port > 65535)
        return false;

    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listenFd < 0)
        return false;
    // Lets a restarted copy take its port back while old connections linger in TIME_WAIT;
    // a port another program listens on is still refused.
    const int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    int pipeFds[2] = {-1, -1};
    const bool bound =
        ::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(m_listenFd, Backlog) == 0 &&
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) == 0;
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];
    if (bound)
        m_context =
            SecureChannel::CreateServerContext(m_folder.file(QStringLiteral("servercert.pem")),
                                               m_folder.file(QStringLiteral("serverkey.pem")),
                                               m_folder.file(QStringLiteral("ca.pem")));
    if (!bound || !m_context) {
        m_context.reset();
        CloseSockets();
        return false;
    }
    m_portInUse.store(ntohs(address.sin_port), std::memory_order_release);
    m_acceptor.stop().Reset();
    m_acceptor.Start([this] { AcceptLoop(); });
    return true;
}

void Listener::Stop()
{
    if (m_acceptor.IsRunning()) {
        m_acceptor.RequestStop();
        m_acceptor.Join();
    }
    CloseSockets();
    // Cut every connection short first, then wait: the waits then overlap.
    for (const auto& connection : m_connections)
        connection->Interrupt();
    for (const auto& connection : m_connections)
        connection->Join();
    m_connections.clear();
    m_context.reset();
}

void Listener::WakeAcceptor() const
{
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeWrite, &wake, 1);
}

void Listener::CloseSockets()
{
    for (int* fd : {&m_listenFd, &m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void Listener::AcceptLoop()
{
    bool backOff = false;
    while (!m_acceptor.StopRequested()) {
        // Out of descriptors, the waiting connection stays readable: listen only for the
        // stop for a moment instead of spinning.
        pollfd entries[2] = {{m_wakeRead, POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        const int ready = ::poll(entries, backOff ? 1 : 2, backOff ? BackOffMs : PollTimeoutMs());
        if (m_acceptor.StopRequested())
            break;
        backOff = false;
        if (ready > 0 && (entries[1].revents & POLLIN))
            backOff = !AcceptPending();
        Reap();
    }
}

bool Listener::AcceptPending()
{
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd =
            ::accept4(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        const std::uint32_t address = ntohl(peer.sin_addr.s_addr);
        if (!Admit(address)) {
            ::close(fd); // a flood must not cost a thread per connection
            continue;
        }
        TriageServices services{m_context.get(), &m_policy, &m_book, m_ownNickName, m_eventTarget};
        auto connection =
            std::make_unique<ConnectionTriage>(services, fd, address, ntohs(peer.sin_port),
                                               ConnectionTriage::Clock::now() + m_timeLimit);
        connection->Start();
        m_connections.push_back(std::move(connection));
        m_unauthenticated.fetch_add(1, std::memory_order_acq_rel);
    }
}

bool Listener::Admit(std::uint32_t address)
{
    Reap();
    // Places held per address, each with its oldest connection (the list is in the order of
    // acceptance).
    struct Holder
    {
        int places = 0;
        ConnectionTriage* oldest = nullptr;
    };
    std::map<std::uint32_t, Holder> holders;
    int unauthenticated = 0;
    ConnectionTriage* oldest = nullptr;
    for (const auto& connection : m_connections) {
        if (!connection->Unauthenticated())
            continue;
        ++unauthenticated;
        if (!oldest)
            oldest = connection.get();
        Holder& holder = holders[connection->peerAddress()];
        if (!holder.oldest)
            holder.oldest = connection.get();
        ++holder.places;
    }
    // Connections cut short end within moments; past twice the limit a newcomer is turned
    // away until they have, rather than adding threads.
    if (static_cast<int>(m_connections.size()) >= 2 * m_maxConnections)
        return false;
    // While places are free anyone may take one: a busy peer starting many transfers at once
    // is never turned away for want of a share.
    if (unauthenticated < m_maxConnections)
        return true;
    // All taken. An address that holds its share already gets no more (at no cost of a
    // thread); anyone else takes the place of the oldest connection of the address holding
    // the most places beyond its share, or else of the oldest of all.
    if (holders[address].places >= m_maxPerSource)
        return false;
    ConnectionTriage* victim = oldest;
    int most = m_maxPerSource;
    for (const auto& [holderAddress, holder] : holders) {
        if (holder.places > most) {
            most = holder.places;
            victim = holder.oldest;
        }
    }
    if (victim)
        victim->Interrupt();
    return true;
}

int Listener::PollTimeoutMs() const
{
    const auto now = ConnectionTriage::Clock::now();
    auto wait = std::chrono::milliseconds(MaxPollMs);
    for (const auto& connection : m_connections) {
        if (const auto deadline = connection->PendingDeadline()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now);
            wait = std::clamp(left, std::chrono::milliseconds(0), wait);
        }
    }
    return static_cast<int>(wait.count());
}

void Listener::Reap()
{
    const auto now = ConnectionTriage::Clock::now();
    int unauthenticated = 0;
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        ConnectionTriage& connection = **it;
        if (connection.Finished()) {
            connection.Join();
            it = m_connections.erase(it);
            continue;
        }
        connection.ExpireIfLate(now);
        if (connection.Unauthenticated())
            ++unauthenticated;
        ++it;
    }
    m_unauthenticated.store(unauthenticated, std::memory_order_release);
}

} // namespace vantrel
