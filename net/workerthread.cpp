#include "net/workerthread.h"

namespace vantrel {

WorkerThread::WorkerThread(std::function<void()> interrupt) : m_interrupt(std::move(interrupt)) {}

WorkerThread::~WorkerThread()
{
    // The interrupt may reach into the owner: only a thread still running needs it.
    if (!IsRunning())
        return;
    RequestStop();
    Join();
}

void WorkerThread::Start(std::function<void()> body)
{
    m_thread = std::thread(std::move(body));
}

void WorkerThread::RequestStop()
{
    m_stop.RequestStop();
    if (m_interrupt)
        m_interrupt();
}

void WorkerThread::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace vantrel
