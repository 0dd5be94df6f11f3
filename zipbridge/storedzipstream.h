#pragma once

#include "zipbridge/ziprecordwriter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// The archive of one file that the archive builder would store, not deflate, produced on the
// fly instead of written: the local header, the file's own bytes, the data descriptor, the
// central directory and the end record, byte for byte as the builder writes them (its records
// come from the same ZipRecordWriter). Its size is
// known before a byte is read. The checksum is computed while the data passes; a read that
// does not continue the previous one (a resume) first runs the checksum over the file's bytes
// before it, so any offset gives exactly the bytes a whole pass gives there.
class StoredZipStream
{
public:
    ~StoredZipStream();
    StoredZipStream(const StoredZipStream&) = delete;
    StoredZipStream& operator=(const StoredZipStream&) = delete;

    // ZB_OK with `stream` set when the file's archive would hold it stored, ZB_OK with
    // `stream` empty when it would be deflated; ZB_SOURCE_ERROR when the file cannot be read.
    // The entry is named after the last component of `filePath`, as it was chosen.
    static int Open(const std::string& filePath, std::unique_ptr<StoredZipStream>& stream);

    std::uint64_t Size() const { return m_dataStart + m_fileSize + m_tailSize; }

    // Up to `length` bytes at `offset` (fewer only at the end). ZB_SOURCE_ERROR when the file
    // cannot be read or has changed its size since Open: the archive would not be the one
    // announced.
    int Read(std::uint64_t offset, unsigned char* buffer, std::size_t length, std::size_t& got);

private:
    StoredZipStream() = default;
    // Runs the checksum over the file's first `dataBytes` bytes.
    bool ChecksumPrefix(std::uint64_t dataBytes);
    int ReadData(std::uint64_t dataOffset, unsigned char* buffer, std::size_t length,
                 std::size_t& got);
    bool BuildTail();

    int m_fd = -1;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_dataStart = 0; // the local header's length
    ZipEntryInfo m_entry;
    std::vector<unsigned char> m_header;
    std::uint64_t m_tailSize = 0;
    std::vector<unsigned char> m_tail; // descriptor, central directory and end record
    bool m_tailBuilt = false;
    std::uint32_t m_crc = 0;
    std::uint64_t m_crcThrough = 0; // file bytes the checksum covers
    std::uint64_t m_position = 0;   // where the next sequential read starts
};

} // namespace vantrel
