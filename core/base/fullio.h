#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace vantrel {

// Whole reads and writes on a file descriptor: a system call may move fewer bytes than asked
// or be interrupted by a signal, so each goes on until everything has moved. Header-only, so
// that the compression component shares it without linking the program's libraries.

// Reads exactly `length` bytes at `offset`; false on an error or an early end of file.
inline bool ReadAt(int fd, unsigned char* buffer, std::size_t length, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Writes all `length` bytes at `offset`; false on an error.
inline bool WriteAt(int fd, const unsigned char* buffer, std::size_t length, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t put =
            ::pwrite(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Writes all `length` bytes at the file position; false on an error.
inline bool WriteAll(int fd, const unsigned char* buffer, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t put = ::write(fd, buffer + done, length - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace vantrel
