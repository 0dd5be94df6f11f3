#include "receive/connectiontriage.h"

#include "core/base/hubmessages.h"
#include "core/base/nickname.h"
#include "net/incomingrequest.h"
#include "net/securechannel.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "netutil/dyndnsbook.h"
#include "tunnel/incomingpolicy.h"
#include "tunnel/tunnelhandle.h"
#include "tunnel/tunnelregistration.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantrel {

namespace {

constexpr int MaxPeerNameBytes = 511;

std::optional<QString> ReverseLookup(std::uint32_t ipv4HostOrder)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ipv4HostOrder);
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host,
                      sizeof host, nullptr, 0, NI_NAMEREQD) != 0 ||
        host[0] == '\0')
        return std::nullopt;
    return QString::fromUtf8(host);
}

} // namespace

ConnectionTriage::ConnectionTriage(const TriageServices& services, int socketFd,
                                   std::uint32_t peerAddress, std::uint16_t peerPort,
                                   Clock::time_point deadline)
    : m_services(services), m_socketFd(socketFd), m_peerAddress(peerAddress), m_peerPort(peerPort),
      m_deadline(deadline)
{
}

ConnectionTriage::~ConnectionTriage()
{
    Interrupt();
    Join();
    if (m_socketFd >= 0) // never started: the socket is still ours
        ::close(m_socketFd);
}

void ConnectionTriage::Start()
{
    m_worker.Start([this] { Run(); });
}

void ConnectionTriage::ExpireIfLate(Clock::time_point now)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_pending || now < m_deadline)
            return;
    }
    m_worker.RequestStop();
}

std::optional<ConnectionTriage::Clock::time_point> ConnectionTriage::PendingDeadline() const
{
    std::lock_guard lock(m_mutex);
    // Once cut short, the connection only has to notice; its clock no longer matters.
    if (!m_pending || m_worker.StopRequested())
        return std::nullopt;
    return m_deadline;
}

void ConnectionTriage::Interrupt()
{
    m_worker.RequestStop();
}

// Runs after the stop flag is set: a request phase entered before sees it here, one entered
// after sees the flag.
void ConnectionTriage::InterruptSession()
{
    std::lock_guard lock(m_mutex);
    if (m_session)
        m_session->Interrupt();
}

void ConnectionTriage::Join()
{
    m_worker.Join();
}

QString ConnectionTriage::NamePeer(const DynDnsBook* book, std::uint32_t ipv4HostOrder)
{
    std::optional<QString> name;
    if (book)
        name = book->NameForAddress(ipv4HostOrder);
    if (!name)
        name = ReverseLookup(ipv4HostOrder);
    if (!name || name->isEmpty())
        name = SecureChannel::DottedAddress(ipv4HostOrder);
    return QString::fromUtf8(CutUtf8(name->toUtf8(), MaxPeerNameBytes));
}

bool ConnectionTriage::EnterRequestPhase(TlsSession* session)
{
    std::lock_guard lock(m_mutex);
    if (m_worker.StopRequested())
        return false;
    m_session = session;
    return true;
}

void ConnectionTriage::LeaveRequestPhase()
{
    std::lock_guard lock(m_mutex);
    m_session = nullptr;
    m_pending = false;
}

void ConnectionTriage::Run()
{
    const int fd = std::exchange(m_socketFd, -1);
    std::unique_ptr<TlsSession> session =
        SecureChannel::AcceptSession(*m_services.context, fd, &m_worker.stop());
    if (session)
        Triage(std::move(session));
    {
        std::lock_guard lock(m_mutex);
        m_pending = false;
    }
    m_finished.store(true, std::memory_order_release);
}

void ConnectionTriage::Triage(std::unique_ptr<TlsSession> session)
{
    if (!EnterRequestPhase(session.get())) {
        session->Drop();
        return;
    }
    const std::optional<RequestHeader> request = ReadRequest(*session);
    LeaveRequestPhase();
    // A connection stopped meanwhile (late, or the listener ending) has a dead socket even
    // if the record got through.
    if (m_worker.StopRequested()) {
        session->Drop();
        return;
    }
    if (!request) {
        session->Close();
        return;
    }
    // Checked before the kind, so that a registration from another version learns why too.
    if (!request->VersionMatches()) {
        const QByteArray nick = OwnNickName(m_services.ownNickName);
        WriteReply(*session, ReplyHeader::VersionMismatch(nick));
        session->Close();
        return;
    }

    const QString peerName = NamePeer(m_services.book, m_peerAddress);
    const bool allowed = m_services.policy->Allows(peerName, m_peerAddress);
    if (m_worker.StopRequested()) {
        session->Drop();
        return;
    }

    if (request->IsTunnelRegistration()) {
        auto registration = std::make_unique<TunnelRegistration>();
        registration->peerName = peerName;
        registration->nickName = request->nickName;
        if (allowed) {
            registration->state = TunnelState::Open;
            registration->tunnel = std::make_unique<TunnelHandle>();
            registration->tunnel->session = std::move(session);
        } else {
            registration->state = TunnelState::Dropped;
            session->Drop();
        }
        HandOver(m_services.eventTarget, hub::UM_TUNNEL_REGISTERED{std::move(registration)});
        return;
    }

    auto incoming = std::make_unique<IncomingRequest>();
    incoming->request = *request;
    incoming->connection = std::make_unique<IncomingConnection>();
    incoming->connection->peerAddress = m_peerAddress;
    incoming->connection->peerPort = m_peerPort;
    incoming->connection->peerName = peerName;
    if (allowed) {
        incoming->connection->session = std::move(session);
        HandOver(m_services.eventTarget, hub::UM_INCOMING_REQUEST{std::move(incoming)});
    } else {
        // No reply: the peer only sees the connection go.
        session->Drop();
        HandOver(m_services.eventTarget, hub::UM_REQUEST_DROPPED{std::move(incoming)});
    }
}

} // namespace vantrel
