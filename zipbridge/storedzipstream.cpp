#include "zipbridge/storedzipstream.h"

#include "core/base/fullio.h"
#include "core/base/zipcrc.h"
#include "zipbridge/compressionprobe.h"
#include "zipbridge/zipbridge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace vantrel {

namespace {

constexpr std::size_t kChecksumBlock = 1024 * 1024;

} // namespace

StoredZipStream::~StoredZipStream()
{
    if (m_fd >= 0)
        close(m_fd);
}

int StoredZipStream::Open(const std::string& filePath, std::unique_ptr<StoredZipStream>& stream)
{
    stream.reset();
    std::unique_ptr<StoredZipStream> made(new StoredZipStream);
    made->m_fd = open(filePath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st = {};
    if (made->m_fd < 0 || fstat(made->m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return ZB_SOURCE_ERROR;
    made->m_fileSize = static_cast<std::uint64_t>(st.st_size);
    std::vector<unsigned char> scratch;
    if (!CompressionProbe::ShouldStore(made->m_fd, made->m_fileSize, scratch))
        return ZB_OK;
    // Beyond 4 GiB the writer needs Zip64 records, which this layout does not have; such an
    // archive cannot be sent anyway.
    if (made->m_fileSize > 0xFFFFFFFFu)
        return ZB_OK;
    posix_fadvise(made->m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    ZipEntryInfo& entry = made->m_entry;
    entry.name = filePath.substr(filePath.rfind('/') + 1);
    if (entry.name.size() > 0xFFFF)
        return ZB_SOURCE_ERROR;
    entry.size = made->m_fileSize;
    entry.mode = static_cast<std::uint32_t>(S_IFREG | (st.st_mode & 0777));
    // The UT field holds the time in 32 bits; the DOS time is made from what it holds.
    entry.mtime = static_cast<std::uint32_t>(st.st_mtim.tv_sec);
    ZipRecordWriter::AppendLocalHeader(made->m_header, entry);
    made->m_dataStart = made->m_header.size();
    // The tail's length does not depend on the checksum it will hold.
    made->BuildTail();
    made->m_tailSize = made->m_tail.size();
    made->m_tailBuilt = false;
    stream = std::move(made);
    return ZB_OK;
}

bool StoredZipStream::BuildTail()
{
    m_tail.clear();
    ZipRecordWriter::AppendDescriptor(m_tail, m_entry, m_crc, m_fileSize);
    const std::uint64_t centralStart = m_dataStart + m_fileSize + m_tail.size();
    std::vector<unsigned char> central;
    ZipRecordWriter::AppendCentralRecord(central, m_entry, m_crc, m_fileSize);
    m_tail.insert(m_tail.end(), central.begin(), central.end());
    ZipRecordWriter::AppendEnd(m_tail, 1, centralStart, central.size());
    m_tailBuilt = m_tail.size() == m_tailSize;
    return m_tailBuilt;
}

bool StoredZipStream::ChecksumPrefix(std::uint64_t dataBytes)
{
    m_crc = 0;
    m_crcThrough = 0;
    std::vector<unsigned char> block(
        static_cast<std::size_t>(std::min<std::uint64_t>(dataBytes, kChecksumBlock)));
    while (m_crcThrough < dataBytes) {
        const auto want = static_cast<std::size_t>(
            std::min<std::uint64_t>(dataBytes - m_crcThrough, kChecksumBlock));
        if (!ReadAt(m_fd, block.data(), want, m_crcThrough))
            return false;
        m_crc = zipcrc::Update(m_crc, block.data(), want);
        m_crcThrough += want;
    }
    return true;
}

int StoredZipStream::ReadData(std::uint64_t dataOffset, unsigned char* buffer, std::size_t length,
                              std::size_t& got)
{
    got = 0;
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(length, m_fileSize - dataOffset));
    // The file ending early means it shrank since the size was announced.
    if (!ReadAt(m_fd, buffer, want, dataOffset))
        return ZB_SOURCE_ERROR;
    if (dataOffset == m_crcThrough) {
        m_crc = zipcrc::Update(m_crc, buffer, want);
        m_crcThrough += want;
    }
    got = want;
    return ZB_OK;
}

int StoredZipStream::Read(std::uint64_t offset, unsigned char* buffer, std::size_t length,
                          std::size_t& got)
{
    got = 0;
    const std::uint64_t dataEnd = m_dataStart + m_fileSize;
    if (offset != m_position) {
        // A new starting point: the checksum must cover the data before it.
        const std::uint64_t before =
            offset <= m_dataStart ? 0 : std::min(offset - m_dataStart, m_fileSize);
        if (!ChecksumPrefix(before))
            return ZB_SOURCE_ERROR;
        m_tailBuilt = false;
    }
    while (got < length && offset + got < Size()) {
        const std::uint64_t at = offset + got;
        unsigned char* out = buffer + got;
        const std::size_t room = length - got;
        if (at < m_dataStart) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(room, m_dataStart - at));
            std::memcpy(out, m_header.data() + at, n);
            got += n;
        } else if (at < dataEnd) {
            std::size_t n = 0;
            const int rc = ReadData(at - m_dataStart, out, room, n);
            if (rc != ZB_OK)
                return rc;
            got += n;
        } else {
            if (!m_tailBuilt) {
                // A file that grew or shrank since it was counted gives no archive worth
                // finishing, even when the bytes read so far were all there.
                struct stat st = {};
                if (m_crcThrough != m_fileSize || fstat(m_fd, &st) != 0 ||
                    static_cast<std::uint64_t>(st.st_size) != m_fileSize || !BuildTail())
                    return ZB_SOURCE_ERROR;
            }
            const auto from = static_cast<std::size_t>(at - dataEnd);
            const std::size_t n = std::min(room, m_tail.size() - from);
            std::memcpy(out, m_tail.data() + from, n);
            got += n;
        }
    }
    m_position = offset + got;
    return ZB_OK;
}

} // namespace vantrel
