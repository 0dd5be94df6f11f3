#include "netutil/hostlookup.h"

#include "net/workerstop.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vantrel::hostlookup {

namespace {

// Runs `lookup` on a helper thread and waits for it unless the stop is requested first.
// The helper holds the only other reference to the state, so it may outlive the caller.
template <typename Result>
Result RunStoppable(std::function<Result()> lookup, const WorkerStop& stop)
{
    struct State
    {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        Result result;
    };
    auto state = std::make_shared<State>();
    std::thread([state, lookup = std::move(lookup)] {
        Result result = lookup();
        std::lock_guard lock(state->mutex);
        state->result = std::move(result);
        state->finished = true;
        state->done.notify_all();
    }).detach();

    std::unique_lock lock(state->mutex);
    while (!state->finished) {
        if (stop.StopRequested()) {
            Result stopped;
            stopped.outcome = Outcome::Stopped;
            return stopped;
        }
        state->done.wait_for(lock, std::chrono::milliseconds(20));
    }
    return state->result;
}

} // namespace

Address Resolve(const QString& host, const WorkerStop& stop)
{
    const QByteArray name = host.toUtf8();
    return RunStoppable<Address>(
        [name] {
            Address result;
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* found = nullptr;
            if (name.isEmpty() || getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 ||
                !found)
                return result;
            const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
            result.outcome = Outcome::Found;
            result.ipv4 = ntohl(in->sin_addr.s_addr);
            freeaddrinfo(found);
            return result;
        },
        stop);
}

Dotted ResolveWith(const HostResolver& resolver, const QString& host, const WorkerStop& stop)
{
    return RunStoppable<Dotted>(
        [resolver, host] {
            Dotted result;
            if (std::optional<QString> address = resolver(host)) {
                result.outcome = Outcome::Found;
                result.address = std::move(*address);
            }
            return result;
        },
        stop);
}

Name ReverseName(std::uint32_t ipv4, const WorkerStop& stop)
{
    return RunStoppable<Name>(
        [ipv4] {
            Name result;
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(ipv4);
            char name[NI_MAXHOST] = {};
            if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, name,
                            sizeof name, nullptr, 0, NI_NAMEREQD) == 0) {
                result.outcome = Outcome::Found;
                result.name = QString::fromUtf8(name);
            }
            return result;
        },
        stop);
}

bool IsNameNotAddress(const QString& host)
{
    for (const QChar c : host) {
        if (c != QLatin1Char('.') && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return true;
    }
    return false;
}

bool ReverseNameDiffers(const QString& host, const Name& reverse)
{
    return reverse.outcome != Outcome::Found ||
           reverse.name.compare(host, Qt::CaseInsensitive) != 0;
}

} // namespace vantrel::hostlookup
