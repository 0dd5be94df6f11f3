#pragma once

#include <QString>

#include <cstdint>

namespace vantrel::bench {

// Puts the machine in the same state before every timed run, whoever runs next.
class PageCache
{
public:
    // Starts writeback of everything (sync) and waits until the kernel's dirty and writeback
    // pages have drained below a few megabytes, at most `timeoutMs`. Returns what is left, KiB.
    static std::int64_t SettleWriteback(int timeoutMs = 60000);
    // Reads a file, or every file below a folder, to the end: the page cache drops files left
    // alone for a while, so every contender's source is read back in right before its run.
    // Returns the bytes read.
    static std::uint64_t ReadBack(const QString& path);
};

} // namespace vantrel::bench
