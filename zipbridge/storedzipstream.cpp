#include "zipbridge/storedzipstream.h"

#include "core/base/fullio.h"
#include "core/base/ziprecords.h"
#include "core/base/zipcrc.h"
#include "zipbridge/compressionprobe.h"
#include "zipbridge/zipbridge.h"
#include "zipbridge/zipfields.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace vantrel {

namespace {

// The records as libarchive's zip writer lays out a stored regular file of known size under
// 4 GiB, after the header fix-up: version 1.0, flag bit 3 (sizes in the local header, the
// checksum only in the data descriptor), a "UT" field with the modification time and a "ux"
// field with owner and group 0.
constexpr std::size_t kExtraSize = 24;
constexpr std::uint16_t kVersion = 10;
constexpr std::uint16_t kMadeByUnix = ziprecords::UnixHost << 8;
constexpr std::size_t kChecksumBlock = 1024 * 1024;

void Put16(std::vector<unsigned char>& out, std::uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

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

    const std::string name = filePath.substr(filePath.rfind('/') + 1);
    const auto* nameBytes = reinterpret_cast<const unsigned char*>(name.data());
    if (name.size() > 0xFFFF)
        return ZB_SOURCE_ERROR;
    // The UT field holds the time in 32 bits; the DOS time is made from what it holds.
    const auto mtime = static_cast<std::uint32_t>(st.st_mtim.tv_sec);
    made->m_flags = static_cast<std::uint16_t>(
        ziprecords::DescriptorFlag |
        (ZipFields::IsUtf8Name(nameBytes, name.size()) ? ziprecords::Utf8NameFlag : 0));
    made->m_dosTime = ZipFields::DosTimeUtc(mtime);
    made->m_mode = static_cast<std::uint32_t>(S_IFREG | (st.st_mode & 0777));

    std::vector<unsigned char>& fields = made->m_entryFields;
    fields.assign(name.begin(), name.end());
    Put16(fields, 0x5455); // "UT": modification time only
    Put16(fields, 5);
    fields.push_back(1);
    Put32(fields, mtime);
    Put16(fields, 0x7875); // "ux": owner and group 0, four bytes each
    Put16(fields, 11);
    fields.push_back(1);
    fields.push_back(4);
    Put32(fields, 0);
    fields.push_back(4);
    Put32(fields, 0);

    const auto size32 = static_cast<std::uint32_t>(made->m_fileSize);
    std::vector<unsigned char>& header = made->m_header;
    Put32(header, ziprecords::LocalSignature);
    Put16(header, kVersion);
    Put16(header, made->m_flags);
    Put16(header, 0); // stored
    Put32(header, made->m_dosTime);
    Put32(header, 0); // the checksum follows the data
    Put32(header, size32);
    Put32(header, size32);
    Put16(header, static_cast<std::uint32_t>(name.size()));
    Put16(header, kExtraSize);
    header.insert(header.end(), fields.begin(), fields.end());
    made->m_dataStart = header.size();
    made->m_tailSize =
        ziprecords::DescriptorSize + ziprecords::CentralSize + fields.size() + ziprecords::EndSize;
    stream = std::move(made);
    return ZB_OK;
}

bool StoredZipStream::BuildTail()
{
    const auto size32 = static_cast<std::uint32_t>(m_fileSize);
    const std::size_t nameLength = m_entryFields.size() - kExtraSize;
    std::vector<unsigned char>& tail = m_tail;
    tail.clear();
    Put32(tail, ziprecords::DescriptorSignature);
    Put32(tail, m_crc);
    Put32(tail, size32);
    Put32(tail, size32);
    const auto centralStart = static_cast<std::uint32_t>(m_dataStart + m_fileSize + tail.size());
    Put32(tail, ziprecords::CentralSignature);
    Put16(tail, kMadeByUnix | kVersion);
    Put16(tail, kVersion);
    Put16(tail, m_flags);
    Put16(tail, 0);
    Put32(tail, m_dosTime);
    Put32(tail, m_crc);
    Put32(tail, size32);
    Put32(tail, size32);
    Put16(tail, static_cast<std::uint32_t>(nameLength));
    Put16(tail, kExtraSize);
    Put16(tail, 0); // comment
    Put16(tail, 0); // disk
    Put16(tail, 0); // internal attributes
    Put32(tail, m_mode << 16);
    Put32(tail, 0); // the local header's offset
    tail.insert(tail.end(), m_entryFields.begin(), m_entryFields.end());
    const auto centralSize =
        static_cast<std::uint32_t>(ziprecords::CentralSize + m_entryFields.size());
    Put32(tail, ziprecords::EndSignature);
    Put16(tail, 0);
    Put16(tail, 0);
    Put16(tail, 1);
    Put16(tail, 1);
    Put32(tail, centralSize);
    Put32(tail, centralStart);
    Put16(tail, 0);
    m_tailBuilt = tail.size() == m_tailSize;
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
