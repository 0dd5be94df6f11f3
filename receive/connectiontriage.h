#pragma once

#include "net/workerthread.h"
#include "receive/triageservices.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

class QObject;

namespace vantrel {

class DynDnsBook;
class TlsSession;

// One accepted connection on its own thread: server handshake, the request record, version
// check, naming, policy, and the message that hands the outcome to the hub. Until the request
// has arrived the connection is on a clock that the listener enforces.
class ConnectionTriage
{
public:
    using Clock = std::chrono::steady_clock;

    ConnectionTriage(const TriageServices& services, int socketFd, std::uint32_t peerAddress,
                     std::uint16_t peerPort, Clock::time_point deadline);
    ~ConnectionTriage(); // interrupts and joins
    ConnectionTriage(const ConnectionTriage&) = delete;
    ConnectionTriage& operator=(const ConnectionTriage&) = delete;

    void Start();
    // Cuts the handshake or request read short once the deadline has passed. Listener thread.
    void ExpireIfLate(Clock::time_point now);
    // The deadline while the connection has not delivered its request yet.
    std::optional<Clock::time_point> PendingDeadline() const;
    // Not yet past its request, and not cut short: an unauthenticated connection that counts
    // toward the listener's limits.
    bool Unauthenticated() const { return PendingDeadline().has_value(); }
    std::uint32_t peerAddress() const { return m_peerAddress; }
    // Ends whatever the thread is blocked on; nothing is posted afterwards.
    void Interrupt();
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    void Join();

    // The peer's display name: the dynamic DNS book's name for the address, else the reverse
    // lookup's, else the dotted address; at most 511 bytes of UTF-8.
    static QString NamePeer(const DynDnsBook* book, std::uint32_t ipv4HostOrder);

private:
    void Run();
    void Triage(std::unique_ptr<TlsSession> session);
    // Registers the session for interruption; false when the connection was stopped already.
    bool EnterRequestPhase(TlsSession* session);
    void LeaveRequestPhase();

    TriageServices m_services;
    int m_socketFd;
    std::uint32_t m_peerAddress;
    std::uint16_t m_peerPort;
    Clock::time_point m_deadline;

    void InterruptSession();

    mutable std::mutex m_mutex;
    bool m_pending = true;           // handshake or request read still running
    TlsSession* m_session = nullptr; // during the request read
    std::atomic<bool> m_finished{false};
    WorkerThread m_worker{[this] { InterruptSession(); }};
};

} // namespace vantrel
