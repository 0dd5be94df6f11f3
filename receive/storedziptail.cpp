#include "receive/storedziptail.h"

#include "core/base/ziprecords.h"
#include "receive/storedentrytracker.h"
#include "receive/zipfields.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

namespace vantrel {

namespace {

// The data descriptor between the data and the central directory, when the entry has one.
bool DescriptorAgrees(const StoredEntryTracker& entry, const unsigned char* p, std::size_t length)
{
    if (length == 0)
        return (entry.flags() & ziprecords::DescriptorFlag) == 0;
    if ((entry.flags() & ziprecords::DescriptorFlag) == 0)
        return false;
    if (length == ziprecords::DescriptorSize) {
        if (zipfields::U32(p) != ziprecords::DescriptorSignature)
            return false;
        p += 4;
    } else if (length != 12) {
        return false; // Zip64 sizes, or bytes that belong to nothing
    }
    return zipfields::U32(p) == entry.crc() && zipfields::U32(p + 4) == entry.size() &&
           zipfields::U32(p + 8) == entry.size();
}

} // namespace

std::optional<StoredZipTail::Entry> StoredZipTail::Check(const StoredEntryTracker& entry,
                                                         const unsigned char* tail,
                                                         std::size_t tailLength,
                                                         std::uint64_t archiveSize)
{
    if (!entry.Complete() || tailLength < ziprecords::EndSize + ziprecords::CentralSize)
        return std::nullopt;
    const std::uint64_t dataEnd = entry.dataOffset() + entry.size();
    if (dataEnd + tailLength != archiveSize)
        return std::nullopt;

    const unsigned char* end = tail + tailLength - ziprecords::EndSize;
    const std::uint32_t centralSize = zipfields::U32(end + 12);
    const std::uint32_t centralOffset = zipfields::U32(end + 16);
    if (zipfields::U32(end) != ziprecords::EndSignature || zipfields::U16(end + 4) != 0 ||
        zipfields::U16(end + 6) != 0 || zipfields::U16(end + 8) != 1 ||
        zipfields::U16(end + 10) != 1 || zipfields::U16(end + 20) != 0)
        return std::nullopt;
    if (centralOffset < dataEnd ||
        std::uint64_t{centralOffset} + centralSize + ziprecords::EndSize != archiveSize)
        return std::nullopt;
    const std::size_t gap = centralOffset - dataEnd;
    if (!DescriptorAgrees(entry, tail, gap))
        return std::nullopt;

    const unsigned char* central = tail + gap;
    if (centralSize < ziprecords::CentralSize ||
        zipfields::U32(central) != ziprecords::CentralSignature)
        return std::nullopt;
    const unsigned host = central[5];
    const std::uint16_t flags = zipfields::U16(central + 8);
    const std::uint16_t method = zipfields::U16(central + 10);
    const std::uint32_t crc = zipfields::U32(central + 16);
    const std::uint32_t compressed = zipfields::U32(central + 20);
    const std::uint32_t size = zipfields::U32(central + 24);
    const std::size_t nameLength = zipfields::U16(central + 28);
    const std::size_t extraLength = zipfields::U16(central + 30);
    const std::size_t commentLength = zipfields::U16(central + 32);
    const std::uint16_t disk = zipfields::U16(central + 34);
    const std::uint32_t external = zipfields::U32(central + 38);
    const std::uint32_t localOffset = zipfields::U32(central + 42);
    if (ziprecords::CentralSize + nameLength + extraLength + commentLength != centralSize)
        return std::nullopt;
    const std::string& name = entry.name();
    if (host != ziprecords::UnixHost || flags != entry.flags() || method != 0 ||
        crc != entry.crc() || compressed != entry.size() || size != entry.size() || disk != 0 ||
        localOffset != 0 || nameLength != name.size() ||
        std::memcmp(central + ziprecords::CentralSize, name.data(), nameLength) != 0 ||
        name.back() == '/')
        return std::nullopt;
    // Without a descriptor the local header carries the CRC itself.
    if ((entry.flags() & ziprecords::DescriptorFlag) == 0 && entry.localCrc() != entry.crc())
        return std::nullopt;
    const std::uint32_t mode = external >> 16;
    if ((mode & S_IFMT) != S_IFREG)
        return std::nullopt;
    const std::optional<zipfields::ExtraTimes> times =
        zipfields::ReadExtra(central + ziprecords::CentralSize + nameLength, extraLength, false);
    if (!times || (times->mtime && times->mtime != entry.mtime()) ||
        (times->atime && times->atime != entry.atime()))
        return std::nullopt;
    return Entry{mode & 0777u};
}

} // namespace vantrel
