#pragma once

#include "net/workerstop.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>

namespace vantrel {

// One request and one receive over a plain TCP connection, with bounded waits, that another
// thread can cancel (the socket is shut down and a lookup is no longer waited for, so no
// wait outlasts the cancel).
class ServerExchange
{
public:
    struct Timeouts
    {
        std::chrono::milliseconds connect{10000};
        std::chrono::milliseconds reply{15000};
    };

    explicit ServerExchange(Timeouts timeouts) : m_timeouts(timeouts) {}

    // Resolves `host`, connects to its first IPv4 address, sends `request` whole and returns
    // what a single receive brings, at most `maxBytes`; none on any failure, on a silent
    // server past the reply timeout, or once cancelled.
    std::optional<QByteArray> Ask(const QString& host, int port, const QByteArray& request,
                                  int maxBytes);
    // As Ask, but reads on until the server closes the connection: what came by then, at
    // most `maxBytes`; none when the server falls silent for the reply timeout first.
    std::optional<QByteArray> AskWhole(const QString& host, int port, const QByteArray& request,
                                       int maxBytes);
    void Cancel();

    // Whether the dotted IPv4 `address` has a name (a reverse lookup); false once cancelled.
    bool ReverseResolves(const QString& address);

private:
    std::optional<QByteArray> Exchange(const QString& host, int port, const QByteArray& request,
                                       int maxBytes, bool whole);
    std::optional<QByteArray> ReadUntilClosed(int fd, int maxBytes);
    bool WaitFor(int fd, short events, std::chrono::milliseconds timeout) const;
    void Close();

    Timeouts m_timeouts;
    std::atomic<bool> m_cancelled = false;
    // Name lookups run on helpers that a cancel stops waiting for: a hanging name server
    // never holds up the caller.
    WorkerStop m_lookupStop;
    std::mutex m_mutex; // guards m_fd against a cancel while it closes
    int m_fd = -1;
};

} // namespace vantrel
