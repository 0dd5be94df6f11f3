#include "zipbridge/archiveextractor.h"

#include "core/base/destinationname.h"
#include "zipbridge/centraldirectory.h"
#include "zipbridge/destinationfailure.h"
#include "zipbridge/entrypath.h"
#include "zipbridge/threadlocale.h"
#include "zipbridge/treewriter.h"
#include "zipbridge/zipbridge.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace vantrel {

namespace {

constexpr int kDiskFlags =
    ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT;
// ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS cannot be used: entries are handed over already
// joined to the (absolute, link-free) destination. Absolute entry names are refused by
// EntryPath before that.

constexpr std::size_t kReadBlock = 1024 * 1024;

// libarchive's disk writer sets the process umask to 0 and back around every header it
// writes. Two extractions doing so at once can leave it at 0 for good, so those calls (and
// this component's own creations) take turns.
std::mutex& UmaskLock()
{
    static std::mutex lock;
    return lock;
}

bool Exists(const std::string& path)
{
    struct stat st = {};
    return lstat(path.c_str(), &st) == 0;
}

std::string RealPath(const std::string& path)
{
    char* real = realpath(path.c_str(), nullptr);
    if (!real)
        return std::string();
    std::string result(real);
    std::free(real);
    return result;
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? folder + name : folder + '/' + name;
}

} // namespace

ArchiveExtractor::ArchiveExtractor(ProgressCounter progress, CancelFlag cancel,
                                   std::uint64_t limitBytes)
    : m_progress(progress), m_cancel(cancel), m_limit(limitBytes)
{
}

ArchiveExtractor::~ArchiveExtractor()
{
    if (m_disk)
        archive_write_free(m_disk);
    if (m_reader)
        archive_read_free(m_reader);
    if (m_fd >= 0)
        close(m_fd);
}

// A zip with no entries is only its end-of-central-directory record, at offset 0.
bool ArchiveExtractor::IsEmptyZip(const std::string& archivePath)
{
    FILE* f = std::fopen(archivePath.c_str(), "rb");
    if (!f)
        return false;
    unsigned char record[22] = {};
    const std::size_t got = std::fread(record, 1, sizeof record, f);
    const int extra = std::fgetc(f);
    std::fclose(f);
    if (got != sizeof record)
        return false;
    const unsigned commentLength = record[20] | (record[21] << 8);
    const bool signature = record[0] == 'P' && record[1] == 'K' && record[2] == 5 && record[3] == 6;
    const bool noEntries = record[8] == 0 && record[9] == 0 && record[10] == 0 && record[11] == 0;
    return signature && noEntries && (commentLength > 0 || extra == EOF);
}

int ArchiveExtractor::OpenArchive(const std::string& archivePath)
{
    m_reader = archive_read_new();
    if (!m_reader || archive_read_support_format_zip_seekable(m_reader) != ARCHIVE_OK ||
        archive_read_open_filename(m_reader, archivePath.c_str(), kReadBlock) != ARCHIVE_OK)
        return ZB_ARCHIVE_ERROR;
    return ZB_OK;
}

int ArchiveExtractor::OpenDisk()
{
    {
        std::lock_guard<std::mutex> lock(UmaskLock());
        m_disk = archive_write_disk_new();
    }
    if (!m_disk || archive_write_disk_set_options(m_disk, kDiskFlags) != ARCHIVE_OK)
        return ZB_DESTINATION_ERROR;
    return ZB_OK;
}

int ArchiveExtractor::ExtractTree(const std::string& archivePath, const std::string& destinationDir)
{
    const ThreadLocale utf8Names;
    m_progress.Publish(0);
    int rc = OpenArchive(archivePath);
    if (rc != ZB_OK && IsEmptyZip(archivePath)) {
        // The archive of an empty tree holds no entries; the reader does not recognise such
        // a file, but it is valid and unpacks to an empty folder.
        MakeFolders(destinationDir);
        return Finish(ZB_OK, false);
    }
    if (rc != ZB_OK)
        return Finish(rc, false);
    return ExtractEntries(destinationDir);
}

int ArchiveExtractor::ExtractTreeStreaming(const std::string& archivePath,
                                           const std::string& destinationDir,
                                           const std::uint64_t* arrived,
                                           const std::uint32_t* complete)
{
    const ThreadLocale utf8Names;
    m_progress.Publish(0);
    m_streaming = true;
    m_arrived = arrived;
    m_complete = complete;
    m_fd = open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
    m_reader = archive_read_new();
    if (m_fd < 0 || !m_reader || !arrived || !complete ||
        archive_read_support_format_zip_streamable(m_reader) != ARCHIVE_OK ||
        archive_read_open(m_reader, this, nullptr, &ArchiveExtractor::ReadGrowing, nullptr) !=
            ARCHIVE_OK)
        return Finish(m_cancel.Requested() ? ZB_CANCELLED : ZB_NOT_STREAMABLE, false);
    return ExtractEntries(destinationDir);
}

long ArchiveExtractor::ReadGrowing(struct archive*, void* self, const void** buffer)
{
    return static_cast<ArchiveExtractor*>(self)->ReadMore(buffer);
}

long ArchiveExtractor::ReadMore(const void** buffer)
{
    if (m_block.empty())
        m_block.resize(kReadBlock);
    for (;;) {
        if (m_cancel.Requested())
            return -1;
        // The completion first: once it is seen, the count read after it is final.
        const bool complete =
            std::atomic_ref<const std::uint32_t>(*m_complete).load(std::memory_order_acquire) != 0;
        const std::uint64_t arrived =
            std::atomic_ref<const std::uint64_t>(*m_arrived).load(std::memory_order_acquire);
        if (m_readOffset < arrived) {
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(arrived - m_readOffset, m_block.size()));
            const ssize_t got = pread(m_fd, m_block.data(), want, static_cast<off_t>(m_readOffset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return -1;
            m_readOffset += static_cast<std::uint64_t>(got);
            *buffer = m_block.data();
            return got;
        }
        if (complete)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

int ArchiveExtractor::ExtractEntries(const std::string& destinationDir)
{
    int rc = ZB_OK;
    MakeFolders(destinationDir);
    // Resolved once, so that links above the destination (the user's own) never make
    // libarchive refuse an entry; links below it are what the checks are about.
    const std::string root = RealPath(destinationDir);
    struct stat st = {};
    if (root.empty() || stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Finish(ZB_DESTINATION_ERROR, false);
    m_root = root;
    m_tree = std::make_unique<TreeWriter>();
    if (!m_tree->Open(root))
        return Finish(ZB_DESTINATION_ERROR, false);

    bool refusedSome = false;
    struct archive_entry* entry = nullptr;
    for (;;) {
        if (m_cancel.Requested())
            return Finish(ZB_CANCELLED, refusedSome);
        const int next = archive_read_next_header(m_reader, &entry);
        if (next == ARCHIVE_EOF)
            break;
        if (next < ARCHIVE_WARN) {
            if (m_streaming)
                return Finish(m_cancel.Requested() ? ZB_CANCELLED : ZB_NOT_STREAMABLE, refusedSome);
            return Finish(ZB_ARCHIVE_ERROR, refusedSome);
        }

        const mode_t type = archive_entry_filetype(entry);
        const char* name = archive_entry_pathname(entry);
        const bool isDirectory = type == AE_IFDIR;
        if (m_streaming) {
            Seen seen;
            const char* raw = name ? name : archive_entry_pathname_utf8(entry);
            seen.name = raw ? raw : "";
            seen.isDirectory = isDirectory;
            seen.headerOffset = archive_read_header_position(m_reader);
            seen.size = archive_entry_size_is_set(entry)
                            ? static_cast<std::uint64_t>(archive_entry_size(entry))
                            : 0;
            m_seen.push_back(std::move(seen));
        }
        if ((type != AE_IFREG && !isDirectory) || archive_entry_hardlink(entry) ||
            archive_entry_symlink(entry) || !name) {
            refusedSome = true;
            continue;
        }
        const std::optional<std::string> relative = EntryPath::Sanitize(name);
        if (!relative) {
            refusedSome = true;
            continue;
        }
        if (relative->empty())
            continue; // the destination itself
        const std::string target = Join(root, *relative);
        // No path this long can be named again, nor removed by the undo.
        if (target.size() >= PATH_MAX) {
            refusedSome = true;
            continue;
        }
        bool refused = false;
        rc = WriteTreeEntry(entry, *relative, target, isDirectory, refused);
        if (m_streaming && m_cancel.Requested())
            return Finish(ZB_CANCELLED, refusedSome);
        if (rc == ZB_ARCHIVE_ERROR && m_streaming) {
            m_damaged = false; // the ordinary extraction tells damage from a reader's limits
            return Finish(ZB_NOT_STREAMABLE, refusedSome);
        }
        if (rc != ZB_OK)
            return Finish(rc, refusedSome);
        if (m_streaming && !refused)
            m_seen.back().target = target;
        refusedSome = refusedSome || refused;
    }
    if (m_streaming) {
        // The folders' times are applied when the writer closes; the central directory's
        // permissions go on top of what the local headers gave.
        const bool closed = m_tree->Close();
        m_tree.reset();
        if (!closed)
            return Finish(ZB_DESTINATION_ERROR, refusedSome);
        if (m_cancel.Requested())
            return Finish(ZB_CANCELLED, refusedSome);
        if (!MatchCentralDirectory())
            return Finish(ZB_NOT_STREAMABLE, refusedSome);
    }
    return Finish(ZB_OK, refusedSome);
}

bool ArchiveExtractor::MatchCentralDirectory()
{
    // Whatever the reader left unread, up to the end of the archive.
    const void* unused = nullptr;
    while (ReadMore(&unused) > 0) {
    }
    if (m_cancel.Requested())
        return false;
    struct stat st = {};
    if (fstat(m_fd, &st) != 0)
        return false;
    const std::optional<std::vector<CentralDirectory::Entry>> central =
        CentralDirectory::Read(m_fd, static_cast<std::uint64_t>(st.st_size));
    if (!central || central->size() != m_seen.size())
        return false;
    mode_t mask = 0;
    {
        std::lock_guard<std::mutex> lock(UmaskLock());
        mask = umask(0);
        umask(mask);
    }
    for (std::size_t i = 0; i < m_seen.size(); ++i) {
        const Seen& seen = m_seen[i];
        const CentralDirectory::Entry& entry = (*central)[i];
        // The ordinary extraction reads each entry where the directory points: it must be the
        // local header this pass followed, or the two could unpack different data.
        if (!entry.madeOnUnix || entry.name != seen.name ||
            static_cast<std::int64_t>(entry.localOffset) != seen.headerOffset)
            return false;
        if (seen.target.empty())
            continue; // refused or skipped: nothing of it was written
        const mode_t type = entry.mode & S_IFMT;
        if (seen.isDirectory ? type != S_IFDIR : (type != S_IFREG || entry.size != seen.size))
            return false;
        if (!seen.isDirectory && entry.crc != seen.crc)
            return false;
        const mode_t perm = (entry.mode & 0777) | (seen.isDirectory ? 0700 : 0600);
        if (seen.createdPerm && (*seen.createdPerm & ~mask) == (perm & ~mask))
            continue; // made with these permissions already
        if (chmod(seen.target.c_str(), perm & ~mask) != 0)
            return false;
    }
    return true;
}

int ArchiveExtractor::ExtractSingleFile(const std::string& archivePath,
                                        const std::string& destinationFile)
{
    const ThreadLocale utf8Names;
    m_progress.Publish(0);
    int rc = OpenArchive(archivePath);
    if (rc != ZB_OK)
        return Finish(rc, false);

    const DestinationName parts = DestinationName::Of(destinationFile);
    const std::string folder = RealPath(parts.folder);
    if (!parts.NameIsPlain() || folder.empty())
        return Finish(ZB_DESTINATION_ERROR, false);
    const std::string target = Join(folder, parts.name);
    rc = OpenDisk();
    if (rc != ZB_OK)
        return Finish(rc, false);

    bool refusedSome = false;
    bool wroteFile = false;
    struct archive_entry* entry = nullptr;
    for (;;) {
        if (m_cancel.Requested())
            return Finish(ZB_CANCELLED, refusedSome);
        const int next = archive_read_next_header(m_reader, &entry);
        if (next == ARCHIVE_EOF)
            break;
        if (next < ARCHIVE_WARN)
            return Finish(ZB_ARCHIVE_ERROR, refusedSome);
        const mode_t type = archive_entry_filetype(entry);
        if (type == AE_IFDIR)
            continue;
        // Only the first file is wanted; anything else is not written anywhere.
        if (type != AE_IFREG || archive_entry_hardlink(entry) || archive_entry_symlink(entry) ||
            wroteFile) {
            refusedSome = true;
            continue;
        }
        m_pending.emplace_back(target, false);
        bool refused = false;
        rc = WriteEntry(entry, target, false, refused);
        if (rc != ZB_OK)
            return Finish(rc, refusedSome);
        if (refused)
            return Finish(ZB_DESTINATION_ERROR, refusedSome);
        wroteFile = true;
    }
    return Finish(wroteFile ? ZB_OK : ZB_ARCHIVE_ERROR, refusedSome);
}

void ArchiveExtractor::MakeFolders(const std::string& path)
{
    std::lock_guard<std::mutex> lock(UmaskLock());
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && !Exists(prefix) && mkdir(prefix.c_str(), 0777) == 0)
            m_writtenPaths.emplace_back(prefix, true);
        if (slash == std::string::npos)
            break;
    }
}

int ArchiveExtractor::WriteEntry(struct archive_entry* entry, const std::string& target,
                                 bool isDirectory, bool& refused)
{
    archive_entry_copy_pathname(entry, target.c_str());
    // Received files belong to the receiver: no set-id bits, always readable and writable
    // by their owner.
    const mode_t perm = archive_entry_perm(entry) & 0777;
    archive_entry_set_perm(entry, isDirectory ? (perm | 0700) : (perm | 0600));

    // The declared size is only a claim. It counts toward the limit before anything is
    // written, and it is checked against the data; the disk writer never sees it, as it
    // would extend a short file to it.
    const bool declared = !isDirectory && archive_entry_size_is_set(entry);
    const auto declaredSize = static_cast<std::uint64_t>(archive_entry_size(entry));
    archive_entry_unset_size(entry);
    if (declared && declaredSize > m_limit - m_written)
        return ZB_LIMIT_EXCEEDED;

    int rc;
    {
        std::lock_guard<std::mutex> lock(UmaskLock());
        rc = archive_write_header(m_disk, entry);
    }
    // Folders made on the way count as ours even when the entry itself fails; a file only
    // once it has been opened for writing.
    for (auto& pending : m_pending)
        if (pending.second || rc >= ARCHIVE_WARN)
            m_writtenPaths.push_back(std::move(pending));
    m_pending.clear();

    if (rc == ARCHIVE_FATAL)
        return ZB_DESTINATION_ERROR;
    if (rc < ARCHIVE_WARN) {
        if (IsDestinationFailure(archive_errno(m_disk)))
            return ZB_DESTINATION_ERROR;
        refused = true; // libarchive's own safety checks
        return ZB_OK;
    }
    if (!isDirectory) {
        const int copied = CopyData(declared ? declaredSize : kNoLimit);
        if (copied != ZB_OK)
            return copied;
    }
    if (archive_write_finish_entry(m_disk) < ARCHIVE_WARN)
        return ZB_DESTINATION_ERROR;
    return ZB_OK;
}

namespace {

// The entry's times as the disk writer would set them: what is not stated is now.
void EntryTimes(struct archive_entry* entry, timespec times[2])
{
    const bool atime = archive_entry_atime_is_set(entry);
    const bool mtime = archive_entry_mtime_is_set(entry);
    if (!atime && !mtime) {
        times[0].tv_sec = times[1].tv_sec = 0;
        times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
        return;
    }
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    times[0] = now;
    times[1] = now;
    if (atime) {
        times[0].tv_sec = archive_entry_atime(entry);
        times[0].tv_nsec = archive_entry_atime_nsec(entry);
    }
    if (mtime) {
        times[1].tv_sec = archive_entry_mtime(entry);
        times[1].tv_nsec = archive_entry_mtime_nsec(entry);
    }
}

} // namespace

int ArchiveExtractor::WriteTreeEntry(struct archive_entry* entry, const std::string& relative,
                                     const std::string& target, bool isDirectory, bool& refused)
{
    // Received files belong to the receiver: no set-id bits, always readable and writable
    // by their owner.
    const mode_t perm = (archive_entry_perm(entry) & 0777) | (isDirectory ? 0700 : 0600);
    // The declared size is only a claim. It counts toward the limit before anything is
    // written, and it is checked against the data; the file's length comes from the data.
    const bool declared = !isDirectory && archive_entry_size_is_set(entry);
    const auto declaredSize = static_cast<std::uint64_t>(archive_entry_size(entry));
    if (declared && declaredSize > m_limit - m_written)
        return ZB_LIMIT_EXCEEDED;

    timespec times[2];
    EntryTimes(entry, times);
    std::vector<std::string> created;
    TreeWriter::Step step;
    {
        // The creations take the umask as it is meant to be, never as another extraction's
        // disk writer has it for a moment.
        std::lock_guard<std::mutex> lock(UmaskLock());
        step = isDirectory ? m_tree->MakeFolder(relative, perm, times, created)
                           : m_tree->CreateFile(relative, perm, created);
    }
    bool madeItself = false;
    for (const std::string& folder : created) {
        madeItself = madeItself || folder == relative;
        m_writtenPaths.emplace_back(Join(m_root, folder), true);
    }
    if (!isDirectory && step == TreeWriter::Step::Done) {
        m_writtenPaths.emplace_back(target, false);
        madeItself = true;
    }
    if (step == TreeWriter::Step::DestinationFailed)
        return ZB_DESTINATION_ERROR;
    if (step == TreeWriter::Step::Refused) {
        refused = true;
        return ZB_OK;
    }
    if (m_streaming && madeItself)
        m_seen.back().createdPerm = perm;
    if (isDirectory)
        return ZB_OK;
    const int copied = CopyData(declared ? declaredSize : kNoLimit);
    if (copied != ZB_OK)
        return copied;
    return m_tree->FinishFile(times) ? ZB_OK : ZB_DESTINATION_ERROR;
}

int ArchiveExtractor::CopyData(std::uint64_t declaredSize)
{
    std::uint64_t entryWritten = 0;
    for (;;) {
        if (m_cancel.Requested())
            return ZB_CANCELLED;
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int rc = archive_read_data_block(m_reader, &block, &size, &offset);
        if (rc == ARCHIVE_EOF) {
            if (declaredSize != kNoLimit && entryWritten != declaredSize)
                return DamagedEntry();
            return ZB_OK;
        }
        // Bytes handed over with a warning count toward the limit too.
        if (rc >= ARCHIVE_WARN && size > m_limit - m_written)
            return ZB_LIMIT_EXCEEDED;
        // A warning here is a checksum or size mismatch: the data is damaged.
        if (rc != ARCHIVE_OK)
            return DamagedEntry();
        // The file grows only by the bytes handed over, never by a gap.
        if (offset != static_cast<la_int64_t>(entryWritten))
            return DamagedEntry();
        const bool wrote = m_tree ? m_tree->Write(block, size)
                                  : archive_write_data_block(m_disk, block, size, offset) >= 0;
        if (!wrote)
            return ZB_DESTINATION_ERROR;
        m_written += size;
        entryWritten += size;
        // (A null block of no bytes would restart zlib's CRC.)
        if (m_streaming && size > 0) {
            m_seen.back().crc = static_cast<std::uint32_t>(
                crc32_z(m_seen.back().crc, static_cast<const Bytef*>(block), size));
            m_seen.back().size = entryWritten;
        }
        m_progress.Publish(m_written);
    }
}

int ArchiveExtractor::DamagedEntry()
{
    m_damaged = true;
    return ZB_ARCHIVE_ERROR;
}

int ArchiveExtractor::Finish(int result, bool refusedSome)
{
    if (m_tree) {
        // Closing applies the folders' times and releases every handle.
        const bool closed = m_tree->Close();
        m_tree.reset();
        if (!closed && result == ZB_OK)
            result = ZB_DESTINATION_ERROR;
    }
    if (m_disk) {
        // Closing applies the folders' times; after that, every handle is released.
        const int closed = archive_write_close(m_disk);
        archive_write_free(m_disk);
        m_disk = nullptr;
        if (closed == ARCHIVE_FATAL && result == ZB_OK)
            result = ZB_DESTINATION_ERROR;
    }
    if (m_reader) {
        archive_read_free(m_reader);
        m_reader = nullptr;
    }
    // A half-written tree must not pass for a result: an overrun, a damaged entry and a
    // destination that failed (a full disk) take back everything this call wrote.
    if (result == ZB_LIMIT_EXCEEDED || result == ZB_DESTINATION_ERROR || m_damaged ||
        result == ZB_NOT_STREAMABLE)
        RemoveWritten();
    m_progress.PublishFinal(m_written);
    if (result == ZB_OK && refusedSome)
        return ZB_UNSAFE_ENTRIES;
    return result;
}

void ArchiveExtractor::RemoveWritten()
{
    // Folders first made writable (an archive may have given them no write permission), then
    // everything removed deepest first; a folder that holds anything else stays.
    for (const auto& [path, isDirectory] : m_writtenPaths)
        if (isDirectory)
            chmod(path.c_str(), 0700);
    for (auto it = m_writtenPaths.rbegin(); it != m_writtenPaths.rend(); ++it) {
        if (it->second)
            rmdir(it->first.c_str());
        else
            unlink(it->first.c_str());
    }
    m_writtenPaths.clear();
}

} // namespace vantrel
