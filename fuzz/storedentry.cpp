// The stream of a single-file archive as the receive loop follows it (in pieces of the size
// the first byte gives), and the check of the archive's end against what streamed past.
#include "receive/storedentrytracker.h"
#include "receive/storedziptail.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::size_t piece = data[0] + 1u;
    const auto* archive = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    StoredEntryTracker whole;
    whole.Feed(archive, length);
    StoredEntryTracker pieces;
    for (std::size_t at = 0; at < length; at += piece)
        pieces.Feed(archive + at, length - at < piece ? length - at : piece);
    if (whole.Complete() != pieces.Complete() || whole.crc() != pieces.crc() ||
        whole.consumed() != pieces.consumed())
        std::abort(); // the pieces the network brings must not matter
    if (!whole.Complete())
        return 0;
    const std::uint64_t dataEnd = whole.dataOffset() + whole.size();
    if (dataEnd > length)
        std::abort();
    const std::optional<StoredZipTail::Entry> entry =
        StoredZipTail::Check(whole, data + 1 + dataEnd, length - dataEnd, length);
    if (entry && entry->permissions > 0777)
        std::abort();
    return 0;
}
