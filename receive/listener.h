#pragma once

#include "core/base/hubmessages.h"
#include "core/base/programfolder.h"
#include "net/workerthread.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <functional>
#include <list>
#include <memory>

class QObject;

namespace vantrel {

class ConnectionTriage;
class DynDnsBook;
class IncomingPolicy;
class ServerContext;

// Accepts connections on the server port and hands each to a connection thread of its own
// (ConnectionTriage), so that one stalled peer never holds up the others. The outcomes reach
// `eventTarget` (the hub) as UM_INCOMING_REQUEST, UM_REQUEST_DROPPED and UM_TUNNEL_REGISTERED.
class Listener
{
public:
    // Room for a burst of connections while the accepting thread sorts them out.
    static constexpr int Backlog = 1024;
    // Handshake plus request take well under a second on any working link; a peer that is
    // slower than this is stalling.
    static constexpr std::chrono::milliseconds DefaultRequestTimeLimit{10000};
    // Unauthenticated connections (accepted, request not yet read): in all, and the share of
    // one address when all places are taken. A legitimate copy holds one per transfer it is
    // starting, so a busy one may hold more than its share while places are free.
    static constexpr int DefaultMaxConnections = 64;
    static constexpr int DefaultMaxPerSource = 8;

    // ownNickName is called on connection threads (the version-mismatch reply).
    Listener(ProgramFolder folder, IncomingPolicy& policy, DynDnsBook& book,
             std::function<QByteArray()> ownNickName, HubInbox* eventTarget);
    ~Listener(); // Stop()
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds all IPv4 addresses on `port` (0: any free port), loads "servercert.pem" and
    // "serverkey.pem" and starts accepting. False, with nothing left running, when the port
    // cannot be taken or the certificate or key is unusable: the program goes on without.
    bool Start(int port);
    // Closes the listening socket, cuts every connection short and joins every thread.
    void Stop();

    bool IsListening() const { return m_acceptor.IsRunning(); }
    // The port taken; before a successful start (or after a failed one) the port asked for,
    // which outgoing requests still announce.
    int PortInUse() const { return m_portInUse.load(std::memory_order_acquire); }

    // Time a connection gets to finish its handshake and deliver its request. Set before Start.
    void SetRequestTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }
    // Unauthenticated connections at once. When they are all taken, a newcomer takes the place
    // of the oldest, so that a flood from many addresses cannot lock anyone out. Before Start.
    void SetMaxConnections(int count) { m_maxConnections = count; }
    // The share of one address. While all places are taken, further connections from an
    // address that holds its share are closed at once, and a newcomer from any other address
    // takes the place of the oldest connection of the address most beyond its share: one
    // address can never crowd out the others. Before Start.
    void SetMaxPerSource(int count) { m_maxPerSource = count; }

    // Unauthenticated connections now (for tests; read while the listener runs).
    int UnauthenticatedCount() const { return m_unauthenticated.load(std::memory_order_acquire); }

private:
    void AcceptLoop();
    // False when accepting failed for a reason that a moment's pause may cure.
    bool AcceptPending();
    // Whether the connection just accepted from `address` may have a thread; may cut another
    // unauthenticated connection short to make room.
    bool Admit(std::uint32_t address);
    int PollTimeoutMs() const;
    void Reap();
    void CloseSockets();
    void WakeAcceptor() const;

    ProgramFolder m_folder;
    IncomingPolicy& m_policy;
    DynDnsBook& m_book;
    std::function<QByteArray()> m_ownNickName;
    HubInbox* m_eventTarget;

    std::chrono::milliseconds m_timeLimit = DefaultRequestTimeLimit;
    int m_maxConnections = DefaultMaxConnections;
    int m_maxPerSource = DefaultMaxPerSource;
    std::atomic<int> m_portInUse{0};
    std::atomic<int> m_unauthenticated{0};

    int m_listenFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::unique_ptr<ServerContext> m_context;
    WorkerThread m_acceptor{[this] { WakeAcceptor(); }};
    // Touched by the accepting thread only while it runs, and by Stop after it has ended.
    std::list<std::unique_ptr<ConnectionTriage>> m_connections;
};

} // namespace vantrel
