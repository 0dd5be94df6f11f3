#pragma once

#include "net/workerstop.h"

#include <functional>
#include <thread>

namespace vantrel {

// The one way an engine runs a worker thread and stops it. Stopping never kills the thread:
// RequestStop sets the stop flag the worker polls, shuts down the socket attached to stop(),
// and runs the owner's interrupt for what neither reaches (a session's own shutdown, a wake
// pipe); Join waits for the worker to return. Destroying it stops and joins.
class WorkerThread
{
public:
    explicit WorkerThread(std::function<void()> interrupt = {});
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs `body` on a new thread; a previous one must have been joined.
    void Start(std::function<void()> body);
    void RequestStop();
    void Join();
    bool IsRunning() const { return m_thread.joinable(); }
    bool StopRequested() const { return m_stop.StopRequested(); }
    // The flag and the socket attachment, for the blocking steps that take them.
    WorkerStop& stop() { return m_stop; }

private:
    WorkerStop m_stop;
    std::function<void()> m_interrupt;
    std::thread m_thread;
};

} // namespace vantrel
