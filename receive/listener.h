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
    static constexpr int Backlog = 10;
    static constexpr std::chrono::milliseconds DefaultRequestTimeLimit{30000};
    static constexpr int DefaultMaxConnections = 64;

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
    // Connection threads alive at once; further connections are closed at once. Before Start.
    void SetMaxConnections(int count) { m_maxConnections = count; }

private:
    void AcceptLoop();
    // False when accepting failed for a reason that a moment's pause may cure.
    bool AcceptPending();
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
    std::atomic<int> m_portInUse{0};

    int m_listenFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::unique_ptr<ServerContext> m_context;
    WorkerThread m_acceptor{[this] { WakeAcceptor(); }};
    // Touched by the accepting thread only while it runs, and by Stop after it has ended.
    std::list<std::unique_ptr<ConnectionTriage>> m_connections;
};

} // namespace vantrel
