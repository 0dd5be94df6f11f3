#pragma once

#include <QString>

#include <cstdint>

namespace vantrel {

class StoredEntryTracker;

// Makes the file of a received single-file archive whose one entry is stored straight out of
// the temporary archive: the kernel copies the entry's bytes (copy_file_range; a plain copy
// where it refuses, across file systems) into a hidden staging file beside the target, which
// takes the target's name only when whole. The CRC comes from the tracker that watched the
// bytes arrive, and the archive's end must agree with it (StoredZipTail). What the ordinary
// extraction would make of the same archive, this makes too: the same bytes, permissions and
// times; anything it is not sure of is left to that extraction.
class StoredFileDelivery
{
public:
    enum class Result
    {
        NotApplicable,    // nothing was written: extract the archive the ordinary way
        Delivered,        // the target is in place
        DestinationError, // the target cannot be written (a full disk); nothing is left
        Cancelled,        // `cancel` was set; nothing is left
    };

    // Writes at most `limitBytes`; a larger entry is left to the ordinary extraction, which
    // refuses it. `progress` grows as bytes are written; a non-zero `cancel` stops the copy.
    // Both words are shared with other threads.
    static Result Deliver(const StoredEntryTracker& entry, const QString& archivePath,
                          const QString& target, std::uint64_t limitBytes, std::uint32_t* progress,
                          std::uint32_t* cancel);
};

} // namespace vantrel
