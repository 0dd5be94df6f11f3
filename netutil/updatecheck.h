#pragma once

#include "core/base/hubmessages.h"
#include "netutil/serverexchange.h"
#include "netutil/updateserver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vantrel {

// One question to the update server on a thread of its own, its results handed to the hub.
// A full check waits first, probes name resolution, and reports the public address, the
// answer and a differing version; an address re-get asks at once and reports only the
// address, or its absence. Stop cancels the wait and the connection, then joins.
class UpdateCheck
{
public:
    enum class Kind
    {
        Check,
        AddressOnly
    };

    // Whether this computer's names resolve, asked before each full check: by default the
    // probe address must have a reverse name. Replaceable, so that a test's checks do not
    // depend on the name files of the machine it runs on.
    using NameProbe = std::function<bool(ServerExchange& exchange, const QString& address)>;
    static bool ReverseNameProbe(ServerExchange& exchange, const QString& address);

    UpdateCheck(Kind kind, UpdateServer server, HubInbox* hub, std::chrono::milliseconds delay,
                ServerExchange::Timeouts timeouts, NameProbe probe = ReverseNameProbe);
    ~UpdateCheck(); // stops
    UpdateCheck(const UpdateCheck&) = delete;
    UpdateCheck& operator=(const UpdateCheck&) = delete;

    void Start();
    void Stop();
    bool finished() const { return m_finished; }

private:
    void Run();
    void RunCheck();
    void RunAddressOnly();

    const Kind m_kind;
    const UpdateServer m_server;
    HubInbox* const m_hub;
    const std::chrono::milliseconds m_delay;
    ServerExchange m_exchange;
    const NameProbe m_probe;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::atomic<bool> m_finished = false;
    std::thread m_thread;
};

} // namespace vantrel
