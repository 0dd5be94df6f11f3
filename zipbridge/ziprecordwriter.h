#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// One entry as its headers describe it.
struct ZipEntryInfo
{
    std::string name; // as stored: a directory's ends in '/'
    bool isDirectory = false;
    bool deflated = false;
    std::uint64_t size = 0;   // uncompressed bytes
    std::uint32_t mode = 0;   // type and permission bits
    std::uint32_t mtime = 0;  // seconds, as the 32-bit "UT" field holds them
    std::uint64_t offset = 0; // of the local header in the archive
};

// The records of a zip archive, laid out field for field as libarchive's zip writer lays them
// out (so that archives stay byte-identical with those it made), with the DOS time in UTC and
// the UTF-8 flag set exactly for non-ASCII valid UTF-8 names. A regular file has its sizes
// in the local header when stored, only its size when deflated, its checksum only in the data
// descriptor that follows its data; a directory has neither. Both carry a "UT" field with the
// modification time and a "ux" field with owner and group 0. Zip64 fields appear where
// libarchive puts them: in the local header of a file over 4 GiB (3.75 GiB when deflated), in
// the central record of an entry past those limits, and the Zip64 end records when the
// directory or the entry count needs them.
class ZipRecordWriter
{
public:
    static void AppendLocalHeader(std::vector<unsigned char>& out, const ZipEntryInfo& entry);
    // Nothing for a directory.
    static void AppendDescriptor(std::vector<unsigned char>& out, const ZipEntryInfo& entry,
                                 std::uint32_t crc, std::uint64_t compressedSize);
    static void AppendCentralRecord(std::vector<unsigned char>& out, const ZipEntryInfo& entry,
                                    std::uint32_t crc, std::uint64_t compressedSize);
    static void AppendEnd(std::vector<unsigned char>& out, std::uint64_t entries,
                          std::uint64_t centralOffset, std::uint64_t centralSize);
};

} // namespace vantrel
