#include "zipbridge/zipoutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantrel {

namespace {

constexpr std::size_t kBufferSize = 1024 * 1024;

} // namespace

ZipOutput::~ZipOutput()
{
    Discard();
}

bool ZipOutput::Open(const std::string& path)
{
    m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    m_buffer.resize(kBufferSize);
    m_used = 0;
    m_position = 0;
    m_writeErrno = 0;
    return m_fd >= 0;
}

bool ZipOutput::Write(const unsigned char* data, std::size_t length)
{
    if (m_fd < 0 || m_writeErrno != 0)
        return false;
    m_position += length;
    if (m_used + length <= m_buffer.size()) {
        std::memcpy(m_buffer.data() + m_used, data, length);
        m_used += length;
        return true;
    }
    if (!Flush())
        return false;
    if (length < m_buffer.size()) {
        std::memcpy(m_buffer.data(), data, length);
        m_used = length;
        return true;
    }
    return WriteThrough(data, length);
}

bool ZipOutput::Flush()
{
    const std::size_t used = m_used;
    m_used = 0;
    return WriteThrough(m_buffer.data(), used);
}

bool ZipOutput::WriteThrough(const unsigned char* data, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t put = write(m_fd, data + done, length - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            m_writeErrno = put < 0 ? errno : ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool ZipOutput::Close()
{
    if (m_fd < 0)
        return false;
    const bool flushed = m_writeErrno == 0 && Flush();
    const int fd = m_fd;
    m_fd = -1;
    const bool closed = close(fd) == 0;
    if (flushed && !closed && m_writeErrno == 0)
        m_writeErrno = errno;
    return flushed && closed;
}

void ZipOutput::Discard()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    m_used = 0;
}

} // namespace vantrel
