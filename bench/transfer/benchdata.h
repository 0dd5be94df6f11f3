#pragma once

#include <QString>

#include <cstdint>

namespace vantrel::bench {

// Data sets for the transfer benchmark, written with plain system calls and a fast generator
// so that making a gigabyte costs seconds.

// Bytes that do not compress.
bool WriteRandomFile(const QString& path, std::uint64_t bytes, std::uint64_t seed);
// Log-like lines (timestamps, levels, workers, addresses, counts): compresses several times.
bool WriteLogFile(const QString& path, std::uint64_t bytes, std::uint64_t seed);

struct TreeFigures
{
    std::uint64_t bytes = 0;
    int files = 0;
    int folders = 0;
};
// About `files` files of `bytes` in all below `root`, in folders of 50: mostly small text and
// binary files, a few large ones.
TreeFigures WriteTree(const QString& root, int files, std::uint64_t bytes, std::uint64_t seed);

// Monotonic clock of the whole system (comparable between processes), in nanoseconds.
std::int64_t MonotonicNs();
// CPU time of this process, all threads, user and system, in nanoseconds.
std::int64_t ProcessCpuNs();
// The same split into user and system time (getrusage), in nanoseconds.
std::int64_t UserCpuNs();
std::int64_t SystemCpuNs();
// Peak resident memory of this process (VmHWM), in KiB; -1 when unknown.
long PeakResidentKb();
// Free bytes on the file system of `path`.
std::uint64_t FreeBytes(const QString& path);

} // namespace vantrel::bench
