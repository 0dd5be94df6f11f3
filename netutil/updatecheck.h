#pragma once

#include "core/base/hubmessages.h"
#include "netutil/serverexchange.h"
#include "netutil/updateserver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
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

    UpdateCheck(Kind kind, UpdateServer server, HubInbox* hub, std::chrono::milliseconds delay,
                ServerExchange::Timeouts timeouts);
    ~UpdateCheck(); // stops
    UpdateCheck(const UpdateCheck&) = delete;
    UpdateCheck& operator=(const UpdateCheck&) = delete;

    void Start();
    void Stop();
    bool finished() const { return m_finished; }

    static constexpr double OwnVersion = 1.2;

private:
    void Run();
    void RunCheck();
    void RunAddressOnly();

    const Kind m_kind;
    const UpdateServer m_server;
    HubInbox* const m_hub;
    const std::chrono::milliseconds m_delay;
    ServerExchange m_exchange;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::atomic<bool> m_finished = false;
    std::thread m_thread;
};

} // namespace vantrel
