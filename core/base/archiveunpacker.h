#pragma once

#include <cstdint>

namespace vantrel {

// Unpacks a received archive. The program level lends the compression component to the
// receive engine through this, so that receiving never depends on the sending side.
class ArchiveUnpacker
{
public:
    enum class Result
    {
        Ok,
        UnsafeEntriesSkipped, // entries outside the target or links were left out
        LimitExceeded,        // the output went past `limitBytes`; what was written is gone
        DestinationError,     // the target cannot be written (disk full, no rights)
        Cancelled,
        Failed,       // a damaged archive or any other failure
        NotStreamable // UnpackWhileArriving declined: nothing was kept, Unpack decides
    };

    virtual ~ArchiveUnpacker() = default;

    // Unpacks `archivePath` into the folder `target` (directory) or the file `target`,
    // writing at most `limitBytes`. Blocks; `progress` grows as bytes are written and a
    // non-zero `cancel` stops it. Both words are shared with other threads.
    virtual Result Unpack(bool directory, const char* archivePath, const char* target,
                          std::uint32_t* progress, std::uint32_t* cancel,
                          std::uint64_t limitBytes) const = 0;

    // Unpacks a tree into the new folder `target` while `archivePath` is still being written:
    // `arrived` counts its bytes on disk (it only grows) and `complete` turns non-zero once
    // that count is final; both words are written by another thread. Whatever cannot be
    // trusted before the archive is whole ends as NotStreamable with nothing kept.
    virtual Result UnpackWhileArriving(const char* archivePath, const char* target,
                                       std::uint32_t* progress, std::uint32_t* cancel,
                                       std::uint64_t limitBytes, const std::uint64_t* arrived,
                                       const std::uint32_t* complete) const
    {
        (void)archivePath, (void)target, (void)progress, (void)cancel, (void)limitBytes,
            (void)arrived, (void)complete;
        return Result::NotStreamable;
    }
};

} // namespace vantrel
