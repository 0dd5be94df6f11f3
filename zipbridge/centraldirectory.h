#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

// The central directory of a complete zip file, read by hand so that an extraction that ran
// while the archive was still arriving can be held against it: every entry's name, CRC, size
// (from a Unix system) type and permissions, and where its local header is. Archives with a
// comment, several disks or Zip64 records are not read (Read gives nothing): those take the
// ordinary extraction.
class CentralDirectory
{
public:
    struct Entry
    {
        std::string name;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        bool madeOnUnix = false;
        std::uint32_t mode = 0;        // st_mode bits, when madeOnUnix
        std::uint64_t localOffset = 0; // where the entry's local header is
    };

    static std::optional<std::vector<Entry>> Read(int fd, std::uint64_t fileSize);
};

} // namespace vantrel
