#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace vantrel {

// Whole reads and writes on a file descriptor: a system call may move fewer bytes than asked
// or be interrupted by a signal, so each goes on until everything has moved. Header-only, so
// that the compression component shares it without linking the program's libraries.

namespace fullio {

// Calls `step(done)` (a read or write of the rest, after `done` bytes) until `length` bytes
// have moved; false on an error or when nothing more moves (an early end of file).
template <typename Step> bool Whole(std::size_t length, Step step)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t moved = step(done);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

} // namespace fullio

// Reads exactly `length` bytes at `offset`; false on an error or an early end of file.
inline bool ReadAt(int fd, unsigned char* buffer, std::size_t length, std::uint64_t offset)
{
    return fullio::Whole(length, [&](std::size_t done) {
        return ::pread(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
    });
}

// Reads exactly `length` bytes at the file position; false on an error or an early end of file.
inline bool ReadAll(int fd, unsigned char* buffer, std::size_t length)
{
    return fullio::Whole(
        length, [&](std::size_t done) { return ::read(fd, buffer + done, length - done); });
}

// Writes all `length` bytes at `offset`; false on an error.
inline bool WriteAt(int fd, const unsigned char* buffer, std::size_t length, std::uint64_t offset)
{
    return fullio::Whole(length, [&](std::size_t done) {
        return ::pwrite(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
    });
}

// Writes all `length` bytes at the file position; false on an error.
inline bool WriteAll(int fd, const unsigned char* buffer, std::size_t length)
{
    return fullio::Whole(
        length, [&](std::size_t done) { return ::write(fd, buffer + done, length - done); });
}

} // namespace vantrel
