#include "net/workerstop.h"

#include <sys/socket.h>

namespace vantrel {

void WorkerStop::RequestStop()
{
    std::lock_guard lock(m_mutex);
    m_stopped.store(true, std::memory_order_release);
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void WorkerStop::AttachSocket(int fd)
{
    std::lock_guard lock(m_mutex);
    m_fd = fd;
    if (m_fd >= 0 && m_stopped.load(std::memory_order_acquire))
        ::shutdown(m_fd, SHUT_RDWR);
}

void WorkerStop::DetachSocket()
{
    std::lock_guard lock(m_mutex);
    m_fd = -1;
}

void WorkerStop::Reset()
{
    std::lock_guard lock(m_mutex);
    m_stopped.store(false, std::memory_order_release);
    m_fd = -1;
}

} // namespace vantrel
