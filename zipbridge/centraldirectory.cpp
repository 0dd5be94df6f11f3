#include "zipbridge/centraldirectory.h"

#include "core/base/fullio.h"
#include "core/base/ziprecords.h"

namespace vantrel {

namespace {

constexpr std::uint64_t MaxDirectory = 64ull * 1024 * 1024;

std::uint16_t U16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t U32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(U16(p)) | (static_cast<std::uint32_t>(U16(p + 2)) << 16);
}

// An extra field that is exactly a run of whole blocks (id, size, data). The ordinary
// extraction refuses an archive whose central directory has any other.
bool WholeBlocks(const unsigned char* extra, std::size_t length)
{
    std::size_t at = 0;
    while (length - at >= 4) {
        const std::size_t size = U16(extra + at + 2);
        at += 4;
        if (length - at < size)
            return false;
        at += size;
    }
    return at == length;
}

} // namespace

std::optional<std::vector<CentralDirectory::Entry>> CentralDirectory::Read(int fd,
                                                                           std::uint64_t fileSize)
{
    if (fileSize < ziprecords::EndSize)
        return std::nullopt;
    unsigned char end[ziprecords::EndSize];
    if (!ReadAt(fd, end, ziprecords::EndSize, fileSize - ziprecords::EndSize) ||
        U32(end) != ziprecords::EndSignature || U16(end + 4) != 0 || U16(end + 6) != 0 ||
        U16(end + 8) != U16(end + 10) || U16(end + 20) != 0)
        return std::nullopt;
    const std::size_t count = U16(end + 10);
    const std::uint64_t size = U32(end + 12);
    const std::uint64_t offset = U32(end + 16);
    if (count == 0xFFFF || size == 0xFFFFFFFFu || offset == 0xFFFFFFFFu || size > MaxDirectory ||
        offset + size + ziprecords::EndSize != fileSize)
        return std::nullopt;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !ReadAt(fd, bytes.data(), bytes.size(), offset))
        return std::nullopt;

    std::vector<Entry> entries;
    std::size_t at = 0;
    for (std::size_t n = 0; n < count; ++n) {
        if (bytes.size() - at < ziprecords::CentralSize)
            return std::nullopt;
        const unsigned char* p = bytes.data() + at;
        if (U32(p) != ziprecords::CentralSignature)
            return std::nullopt;
        const std::size_t nameLength = U16(p + 28);
        const std::size_t extraLength = U16(p + 30);
        const std::size_t rest = nameLength + extraLength + U16(p + 32);
        if (bytes.size() - at - ziprecords::CentralSize < rest ||
            !WholeBlocks(p + ziprecords::CentralSize + nameLength, extraLength))
            return std::nullopt;
        Entry entry;
        entry.madeOnUnix = p[5] == ziprecords::UnixHost;
        entry.crc = U32(p + 16);
        entry.size = U32(p + 24);
        if (entry.size == 0xFFFFFFFFu || U32(p + 20) == 0xFFFFFFFFu)
            return std::nullopt;
        entry.mode = U32(p + 38) >> 16;
        entry.localOffset = U32(p + 42);
        entry.name.assign(reinterpret_cast<const char*>(p + ziprecords::CentralSize), nameLength);
        entries.push_back(std::move(entry));
        at += ziprecords::CentralSize + rest;
    }
    if (at != bytes.size())
        return std::nullopt; // bytes that belong to no entry
    return entries;
}

} // namespace vantrel
