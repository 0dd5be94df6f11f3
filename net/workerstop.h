#pragma once

#include <atomic>
#include <mutex>

namespace vantrel {

// Stops a worker that may be blocked in a socket call: sets a flag the worker polls and
// shuts the attached socket down so that a blocking read, write or connect returns.
// The socket itself is closed by its owner after the worker has been joined.
class WorkerStop
{
public:
    void RequestStop();
    bool StopRequested() const { return m_stopped.load(std::memory_order_acquire); }

    // Attaches the socket the worker is about to block on; if a stop was already requested
    // the socket is shut down at once.
    void AttachSocket(int fd);
    void DetachSocket();
    void Reset();

private:
    std::atomic<bool> m_stopped{false};
    std::mutex m_mutex;
    int m_fd = -1;
};

} // namespace vantrel
