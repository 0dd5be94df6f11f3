#include "tests/zipbridge/zipheaderfixup.h"

#include "core/base/fullio.h"
#include "core/base/ziprecords.h"
#include "zipbridge/zipfields.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace vantrel::test::zip {

namespace {

std::uint16_t Get16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Get32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t Get64(const unsigned char* p)
{
    return static_cast<std::uint64_t>(Get32(p)) | static_cast<std::uint64_t>(Get32(p + 4)) << 32;
}
void Put16(unsigned char* p, std::uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

struct CentralDirectory
{
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t entries = 0;
};

bool FindCentralDirectory(int fd, CentralDirectory& cd)
{
    struct stat st = {};
    if (fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(ziprecords::EndSize))
        return false;
    const std::uint64_t fileSize = static_cast<std::uint64_t>(st.st_size);
    // libarchive writes no archive comment: the end record is the last 22 bytes.
    unsigned char end[ziprecords::EndSize];
    if (!ReadAt(fd, end, ziprecords::EndSize, fileSize - ziprecords::EndSize) ||
        Get32(end) != ziprecords::EndSignature)
        return false;
    cd.entries = Get16(end + 10);
    cd.size = Get32(end + 12);
    cd.offset = Get32(end + 16);
    // Saturated fields mean a Zip64 end record, found through the locator before this one.
    // (Exactly 65535 entries saturate the count without one.)
    if (cd.entries == 0xFFFF || cd.size == 0xFFFFFFFFu || cd.offset == 0xFFFFFFFFu) {
        unsigned char locator[20];
        unsigned char end64[56];
        if (fileSize >= ziprecords::EndSize + sizeof locator &&
            ReadAt(fd, locator, sizeof locator, fileSize - ziprecords::EndSize - sizeof locator) &&
            Get32(locator) == ziprecords::Zip64LocatorSignature) {
            if (!ReadAt(fd, end64, sizeof end64, Get64(locator + 8)) ||
                Get32(end64) != ziprecords::Zip64EndSignature)
                return false;
            cd.entries = Get64(end64 + 32);
            cd.size = Get64(end64 + 40);
            cd.offset = Get64(end64 + 48);
        } else if (cd.size == 0xFFFFFFFFu || cd.offset == 0xFFFFFFFFu) {
            return false;
        }
    }
    return cd.offset + cd.size <= fileSize;
}

// The local header offset and UT modification time of one central record.
bool ReadExtras(const unsigned char* record, std::size_t nameLength, std::size_t extraLength,
                std::uint64_t& localOffset, bool& hasMtime, std::int64_t& mtime)
{
    localOffset = Get32(record + 42);
    const bool wantSize = Get32(record + 24) == 0xFFFFFFFFu;
    const bool wantCompressed = Get32(record + 20) == 0xFFFFFFFFu;
    const bool wantOffset = localOffset == 0xFFFFFFFFu;
    const unsigned char* extra = record + ziprecords::CentralSize + nameLength;
    std::size_t at = 0;
    while (at + 4 <= extraLength) {
        const std::uint16_t id = Get16(extra + at);
        const std::uint16_t length = Get16(extra + at + 2);
        const unsigned char* data = extra + at + 4;
        if (at + 4 + length > extraLength)
            return false;
        if (id == 0x5455 && length >= 5 && (data[0] & 1)) {
            hasMtime = true;
            mtime = Get32(data + 1);
        } else if (id == 0x0001 && wantOffset) {
            const std::size_t skip = (wantSize ? 8 : 0) + (wantCompressed ? 8 : 0);
            if (length < skip + 8)
                return false;
            localOffset = Get64(data + skip);
        }
        at += 4 + length;
    }
    return true;
}

} // namespace

bool ZipHeaderFixup::Apply(int fd)
{
    CentralDirectory cd;
    if (!FindCentralDirectory(fd, cd))
        return false;
    std::vector<unsigned char> central(static_cast<std::size_t>(cd.size));
    if (!central.empty() && !ReadAt(fd, central.data(), central.size(), cd.offset))
        return false;

    std::size_t at = 0;
    for (std::uint64_t i = 0; i < cd.entries; ++i) {
        if (at + ziprecords::CentralSize > central.size())
            return false;
        unsigned char* record = central.data() + at;
        if (Get32(record) != ziprecords::CentralSignature)
            return false;
        const std::size_t nameLength = Get16(record + 28);
        const std::size_t extraLength = Get16(record + 30);
        const std::size_t commentLength = Get16(record + 32);
        const std::size_t recordSize =
            ziprecords::CentralSize + nameLength + extraLength + commentLength;
        if (at + recordSize > central.size())
            return false;

        std::uint64_t localOffset = 0;
        bool hasMtime = false;
        std::int64_t mtime = 0;
        if (!ReadExtras(record, nameLength, extraLength, localOffset, hasMtime, mtime))
            return false;

        const unsigned char* name = record + ziprecords::CentralSize;
        std::uint16_t flags = Get16(record + 8);
        if (ZipFields::IsUtf8Name(name, nameLength))
            flags = static_cast<std::uint16_t>(flags | ziprecords::Utf8NameFlag);
        else
            flags = static_cast<std::uint16_t>(flags & ~ziprecords::Utf8NameFlag);
        const std::uint32_t dosTime = hasMtime ? ZipFields::DosTimeUtc(mtime) : Get32(record + 12);
        Put16(record + 8, flags);
        Put32(record + 12, dosTime);

        unsigned char local[ziprecords::LocalSize];
        if (!ReadAt(fd, local, ziprecords::LocalSize, localOffset) ||
            Get32(local) != ziprecords::LocalSignature)
            return false;
        Put16(local + 6, flags);
        Put32(local + 10, dosTime);
        if (!WriteAt(fd, local, ziprecords::LocalSize, localOffset))
            return false;
        at += recordSize;
    }
    return central.empty() || WriteAt(fd, central.data(), central.size(), cd.offset);
}

} // namespace vantrel::test::zip
