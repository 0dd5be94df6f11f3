#pragma once

#include "core/base/ziprecords.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vantrel {

class StoredEntryTracker;

// The end of a single-file archive whose stored entry a StoredEntryTracker followed: the
// optional data descriptor, the central directory and its end record. Check says whether
// they describe exactly that entry, and nothing more: one regular file, stored, the same
// name, flags, sizes and CRC (the one computed from the data), made on a Unix system (so that
// its permissions are plain), no archive comment, no Zip64. Only then may the file be cut out
// of the archive directly; whatever else, the ordinary extraction decides.
class StoredZipTail
{
public:
    struct Entry
    {
        unsigned permissions = 0; // as the archive gives them, 0777 at most
    };

    // `tail` holds the archive's bytes from the end of the entry's data to the end of the
    // archive, `archiveSize` long in all.
    static std::optional<Entry> Check(const StoredEntryTracker& entry, const unsigned char* tail,
                                      std::size_t tailLength, std::uint64_t archiveSize);

    // The longest tail Check accepts.
    static constexpr std::size_t MaxTail =
        ziprecords::DescriptorSize + ziprecords::CentralSize + 3 * 65535 + ziprecords::EndSize;
};

} // namespace vantrel
