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
        Failed // a damaged archive or any other failure
    };

    virtual ~ArchiveUnpacker() = default;

    // Unpacks `archivePath` into the folder `target` (directory) or the file `target`,
    // writing at most `limitBytes`. Blocks; `progress` grows as bytes are written and a
    // non-zero `cancel` stops it. Both words are shared with other threads.
    virtual Result Unpack(bool directory, const char* archivePath, const char* target,
                          std::uint32_t* progress, std::uint32_t* cancel,
                          std::uint64_t limitBytes) const = 0;
};

} // namespace vantrel
