#include "tests/zipbridge/referencebuilder.h"

#include "tests/zipbridge/zipheaderfixup.h"
#include "zipbridge/compressionprobe.h"
#include "zipbridge/zipbridge.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace vantrel::test::zip {

namespace {

// Reads of this size bound the time between two looks at the cancel word.
constexpr std::size_t kReadBlock = 256 * 1024;
// libarchive hands its output to WriteBlock in blocks of this size.
constexpr int kOutputBlock = 1024 * 1024;

} // namespace

int ReferenceBuilder::ZipTree(const std::string& archivePath, const std::string& directory)
{
    ReferenceBuilder builder{ProgressCounter(nullptr), CancelFlag(nullptr)};
    int rc = builder.Open(archivePath);
    if (rc != ZB_OK)
        return rc;
    SourceTree tree;
    dev_t device = 0;
    ino_t inode = 0;
    if (builder.ArchiveIdentity(device, inode))
        tree.Exclude(device, inode);
    if (!tree.Scan(directory))
        return ZB_SOURCE_ERROR;
    builder.SetTotal(tree.TotalSize());
    for (const SourceEntry& entry : tree.Entries()) {
        rc = entry.isDirectory ? builder.AddDirectory(entry)
                               : builder.AddFile(directory + '/' + entry.relativePath, entry);
        if (rc != ZB_OK)
            return rc;
    }
    return builder.Finish();
}

int ReferenceBuilder::ZipFile(const std::string& archivePath, const std::string& filePath)
{
    struct stat st = {};
    if (stat(filePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return ZB_SOURCE_ERROR;
    SourceEntry entry;
    entry.relativePath = filePath.substr(filePath.rfind('/') + 1);
    entry.size = static_cast<std::uint64_t>(st.st_size);
    entry.mode = st.st_mode;
    entry.mtime = st.st_mtim.tv_sec;
    ReferenceBuilder builder{ProgressCounter(nullptr), CancelFlag(nullptr)};
    builder.SetTotal(entry.size);
    int rc = builder.Open(archivePath);
    if (rc == ZB_OK)
        rc = builder.AddFile(filePath, entry);
    return rc == ZB_OK ? builder.Finish() : rc;
}

ReferenceBuilder::ReferenceBuilder(ProgressCounter progress, CancelFlag cancel)
    : m_progress(progress), m_cancel(cancel)
{
}

ReferenceBuilder::~ReferenceBuilder()
{
    Abandon();
}

void ReferenceBuilder::Abandon()
{
    if (m_archive) {
        // Closed, not just freed: libarchive releases its output buffer and compressor only
        // on close. What the close would still write goes nowhere.
        m_discardOutput = true;
        archive_write_close(m_archive);
        archive_write_free(m_archive);
        m_archive = nullptr;
    }
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

int ReferenceBuilder::Open(const std::string& archivePath)
{
    m_progress.Publish(0);
    m_fd = open(archivePath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return ZB_ARCHIVE_ERROR;
    m_archive = archive_write_new();
    if (!m_archive || archive_write_set_format_zip(m_archive) != ARCHIVE_OK ||
        archive_write_set_format_option(m_archive, "zip", "compression-level", "1") != ARCHIVE_OK ||
        archive_write_set_bytes_per_block(m_archive, kOutputBlock) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(m_archive, 1) != ARCHIVE_OK ||
        archive_write_open2(m_archive, this, nullptr, &ReferenceBuilder::WriteBlock, nullptr,
                            nullptr) != ARCHIVE_OK) {
        Abandon();
        return ZB_ARCHIVE_ERROR;
    }
    m_buffer.resize(kReadBlock);
    return ZB_OK;
}

bool ReferenceBuilder::ArchiveIdentity(dev_t& device, ino_t& inode) const
{
    struct stat st = {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0)
        return false;
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

ssize_t ReferenceBuilder::WriteBlock(struct archive* a, void* self, const void* buffer,
                                     std::size_t length)
{
    auto* builder = static_cast<ReferenceBuilder*>(self);
    if (builder->m_discardOutput)
        return static_cast<ssize_t>(length);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t put = write(builder->m_fd, bytes + done, length - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            builder->m_writeErrno = put < 0 ? errno : ENOSPC;
            archive_set_error(a, builder->m_writeErrno, "Cannot write the archive");
            return -1;
        }
        done += static_cast<std::size_t>(put);
    }
    return static_cast<ssize_t>(length);
}

int ReferenceBuilder::WriteHeader(const SourceEntry& source, bool isDirectory, bool store)
{
    struct archive_entry* entry = archive_entry_new();
    if (!entry)
        return ZB_ARCHIVE_ERROR;
    // Names are the file system's bytes (UTF-8 on any sane system), never converted.
    archive_entry_copy_pathname(entry, source.relativePath.c_str());
    archive_entry_set_filetype(entry, isDirectory ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry, source.mode & 0777);
    archive_entry_set_size(entry, isDirectory ? 0 : static_cast<la_int64_t>(source.size));
    // Only the modification time: access and change times differ from run to run.
    archive_entry_set_mtime(entry, source.mtime, 0);
    archive_entry_set_uid(entry, 0);
    archive_entry_set_gid(entry, 0);

    if (store)
        archive_write_zip_set_compression_store(m_archive);
    else
        archive_write_zip_set_compression_deflate(m_archive);
    const int rc = archive_write_header(m_archive, entry);
    archive_entry_free(entry);
    return rc < ARCHIVE_WARN ? WriteFailure() : ZB_OK;
}

int ReferenceBuilder::AddDirectory(const SourceEntry& entry)
{
    if (!m_archive)
        return ZB_ARCHIVE_ERROR;
    if (m_cancel.Requested())
        return ZB_CANCELLED;
    return WriteHeader(entry, true, true);
}

int ReferenceBuilder::AddFile(const std::string& sourcePath, const SourceEntry& entry)
{
    if (!m_archive)
        return ZB_ARCHIVE_ERROR;
    if (m_cancel.Requested())
        return ZB_CANCELLED;
    // A link put in place since the listing is not followed.
    const int fd = open(sourcePath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return ZB_SOURCE_ERROR;
    struct stat st = {};
    // A file that shrank since it was counted cannot give the bytes promised in its header;
    // one that grew is archived as long as it was counted.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) < entry.size) {
        close(fd);
        return ZB_SOURCE_ERROR;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const bool store = CompressionProbe::ShouldStore(fd, entry.size, m_scratch);
    int rc = WriteHeader(entry, false, store);
    if (rc == ZB_OK)
        rc = CopyData(fd, entry.size);
    close(fd);
    return rc;
}

int ReferenceBuilder::CopyData(int sourceFd, std::uint64_t length)
{
    std::uint64_t remaining = length;
    while (remaining > 0) {
        if (m_cancel.Requested())
            return ZB_CANCELLED;
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, m_buffer.size()));
        const ssize_t got = read(sourceFd, m_buffer.data(), want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return ZB_SOURCE_ERROR;
        const la_ssize_t written =
            archive_write_data(m_archive, m_buffer.data(), static_cast<std::size_t>(got));
        if (written != got)
            return WriteFailure();
        remaining -= static_cast<std::uint64_t>(got);
        m_consumed += static_cast<std::uint64_t>(got);
        // The total itself is kept back until the archive is closed: it means "ready".
        if (m_total > 0)
            m_progress.Publish(std::min(m_consumed, m_total - 1));
    }
    return ZB_OK;
}

int ReferenceBuilder::WriteFailure() const
{
    // A full disk is the caller's to report as such; any other failure is the archive's.
    return m_writeErrno == ENOSPC || m_writeErrno == EDQUOT ? ZB_DESTINATION_ERROR
                                                            : ZB_ARCHIVE_ERROR;
}

int ReferenceBuilder::Finish()
{
    if (!m_archive)
        return ZB_ARCHIVE_ERROR;
    if (m_cancel.Requested()) {
        Abandon();
        return ZB_CANCELLED;
    }
    const int closed = archive_write_close(m_archive);
    archive_write_free(m_archive);
    m_archive = nullptr;
    if (closed != ARCHIVE_OK || !ZipHeaderFixup::Apply(m_fd)) {
        Abandon();
        return WriteFailure();
    }
    struct stat st = {};
    if (fstat(m_fd, &st) == 0)
        m_archiveSize = static_cast<std::uint64_t>(st.st_size);
    const int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0)
        return ZB_ARCHIVE_ERROR;
    m_progress.PublishFinal(m_total);
    return ZB_OK;
}

} // namespace vantrel::test::zip
