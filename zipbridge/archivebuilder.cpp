#include "zipbridge/archivebuilder.h"

#include "core/base/fullio.h"

#include "zipbridge/compressionprobe.h"
#include "zipbridge/jobpool.h"
#include "zipbridge/zipbridge.h"
#include "zipbridge/zipjob.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantrel {

namespace {

// Deflate looks back this far: a block primed with it compresses as if it were not cut off.
constexpr std::size_t kDictionarySize = 32 * 1024;
// Pieces in flight per thread: enough to keep every thread busy while the oldest is written.
constexpr std::size_t kPiecesPerThread = 3;

} // namespace

ArchiveBuilder::ArchiveBuilder(ProgressCounter progress, CancelFlag cancel, unsigned threads)
    : m_progress(progress), m_cancel(cancel), m_threads(std::max(1u, threads))
{
}

ArchiveBuilder::~ArchiveBuilder()
{
    Abandon();
}

void ArchiveBuilder::Abandon()
{
    m_pool.reset();
    m_pending.clear();
    m_output.Discard();
}

int ArchiveBuilder::Open(const std::string& archivePath)
{
    m_progress.Publish(0);
    if (!m_output.Open(archivePath))
        return ZB_ARCHIVE_ERROR;
    m_pool = std::make_unique<JobPool>(m_threads, m_cancel);
    return ZB_OK;
}

bool ArchiveBuilder::ArchiveIdentity(dev_t& device, ino_t& inode) const
{
    struct stat st = {};
    if (!m_output.IsOpen() || fstat(m_output.Fd(), &st) != 0)
        return false;
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

ZipEntryInfo ArchiveBuilder::InfoOf(const SourceEntry& entry, bool isDirectory)
{
    ZipEntryInfo info;
    // Names are the file system's bytes (UTF-8 on any sane system), never converted.
    info.name = isDirectory ? entry.relativePath + '/' : entry.relativePath;
    info.isDirectory = isDirectory;
    info.size = isDirectory ? 0 : entry.size;
    info.mode = static_cast<std::uint32_t>((isDirectory ? S_IFDIR : S_IFREG) | (entry.mode & 0777));
    // Only the modification time: access and change times differ from run to run.
    info.mtime = static_cast<std::uint32_t>(entry.mtime);
    return info;
}

int ArchiveBuilder::AddDirectory(const SourceEntry& entry)
{
    if (!m_pool)
        return ZB_ARCHIVE_ERROR;
    if (m_cancel.Requested())
        return ZB_CANCELLED;
    auto state = std::make_shared<EntryState>();
    state->info = InfoOf(entry, true);
    const int rc = Reserve();
    return rc == ZB_OK ? Enqueue(Pending{state, nullptr, true, true}) : rc;
}

int ArchiveBuilder::AddFile(const std::string& sourcePath, const SourceEntry& entry)
{
    if (!m_pool)
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
    // A file of one block is judged by the thread that deflates it; a larger one here, from
    // samples, before its blocks go out.
    const bool store =
        entry.size > kBlockSize && CompressionProbe::ShouldStore(fd, entry.size, m_scratch);
    const int rc = ReadFile(fd, entry, store);
    close(fd);
    return rc;
}

int ArchiveBuilder::ReadFile(int fd, const SourceEntry& entry, bool store)
{
    auto state = std::make_shared<EntryState>();
    state->info = InfoOf(entry, false);
    state->info.deflated = !store;
    const bool whole = entry.size <= kBlockSize;
    std::uint64_t offset = 0;
    bool first = true;
    do {
        int rc = Reserve();
        if (rc != ZB_OK)
            return rc;
        if (m_cancel.Requested())
            return ZB_CANCELLED;
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(entry.size - offset, kBlockSize));
        std::unique_ptr<ZipJob> job = TakeJob();
        job->kind = whole ? ZipJob::Kind::WholeFile
                          : (store ? ZipJob::Kind::Checksum : ZipJob::Kind::Block);
        job->dictionaryLength = job->kind == ZipJob::Kind::Block ? m_dictionary.size() : 0;
        if (first)
            job->dictionaryLength = 0;
        job->input.resize(job->dictionaryLength + length);
        std::memcpy(job->input.data(), m_dictionary.data(), job->dictionaryLength);
        if (!ReadAll(fd, job->input.data() + job->dictionaryLength, length))
            return ZB_SOURCE_ERROR;
        offset += length;
        job->last = offset == entry.size;
        if (job->kind == ZipJob::Kind::Block) {
            const std::size_t keep = std::min(length, kDictionarySize);
            const unsigned char* end = job->input.data() + job->input.size();
            m_dictionary.assign(end - keep, end);
        }
        const bool last = job->last;
        rc = Enqueue(Pending{state, std::move(job), first, last});
        if (rc != ZB_OK)
            return rc;
        first = false;
    } while (offset < entry.size);
    return ZB_OK;
}

std::unique_ptr<ZipJob> ArchiveBuilder::TakeJob()
{
    if (m_spare.empty())
        return std::make_unique<ZipJob>();
    std::unique_ptr<ZipJob> job = std::move(m_spare.back());
    m_spare.pop_back();
    return job;
}

int ArchiveBuilder::Reserve()
{
    while (m_pending.size() >= m_threads * kPiecesPerThread) {
        const int rc = WriteFront();
        if (rc != ZB_OK)
            return rc;
    }
    return ZB_OK;
}

int ArchiveBuilder::Enqueue(Pending pending)
{
    if (pending.job)
        m_pool->Submit(pending.job.get());
    m_pending.push_back(std::move(pending));
    return ZB_OK;
}

int ArchiveBuilder::WriteFront()
{
    Pending& piece = m_pending.front();
    ZipJob* job = piece.job.get();
    if (job) {
        m_pool->Wait(job);
        if (job->skipped || m_cancel.Requested())
            return ZB_CANCELLED;
        if (job->failed)
            return ZB_ARCHIVE_ERROR;
    }
    EntryState& entry = *piece.entry;
    if (piece.first) {
        if (job && job->kind == ZipJob::Kind::WholeFile)
            entry.info.deflated = !job->store;
        entry.info.offset = m_output.Position();
        m_records.clear();
        ZipRecordWriter::AppendLocalHeader(m_records, entry.info);
        if (!m_output.Write(m_records))
            return WriteFailure();
    }
    if (job) {
        const bool written = entry.info.deflated ? m_output.Write(job->output)
                                                 : m_output.Write(job->Data(), job->DataLength());
        if (!written)
            return WriteFailure();
        entry.compressed += entry.info.deflated ? job->output.size() : job->DataLength();
        entry.crc = piece.first
                        ? job->crc
                        : static_cast<std::uint32_t>(crc32_combine(
                              entry.crc, job->crc, static_cast<z_off_t>(job->DataLength())));
        m_consumed += job->DataLength();
        // The total itself is kept back until the archive is closed: it means "ready".
        if (m_total > 0)
            m_progress.Publish(std::min(m_consumed, m_total - 1));
    }
    if (piece.last) {
        m_records.clear();
        ZipRecordWriter::AppendDescriptor(m_records, entry.info, entry.crc, entry.compressed);
        if (!m_records.empty() && !m_output.Write(m_records))
            return WriteFailure();
        ZipRecordWriter::AppendCentralRecord(m_central, entry.info, entry.crc, entry.compressed);
        ++m_entries;
    }
    if (piece.job)
        m_spare.push_back(std::move(piece.job));
    m_pending.pop_front();
    return ZB_OK;
}

int ArchiveBuilder::WriteFailure() const
{
    // A full disk is the caller's to report as such; any other failure is the archive's.
    const int error = m_output.WriteErrno();
    return error == ENOSPC || error == EDQUOT ? ZB_DESTINATION_ERROR : ZB_ARCHIVE_ERROR;
}

int ArchiveBuilder::Finish()
{
    if (!m_pool)
        return ZB_ARCHIVE_ERROR;
    while (!m_pending.empty()) {
        const int rc = WriteFront();
        if (rc != ZB_OK) {
            Abandon();
            return rc;
        }
    }
    if (m_cancel.Requested()) {
        Abandon();
        return ZB_CANCELLED;
    }
    m_pool.reset();
    const std::uint64_t centralOffset = m_output.Position();
    m_records.clear();
    ZipRecordWriter::AppendEnd(m_records, m_entries, centralOffset, m_central.size());
    m_archiveSize = centralOffset + m_central.size() + m_records.size();
    if (!m_output.Write(m_central) || !m_output.Write(m_records) || !m_output.Close()) {
        const int rc = WriteFailure();
        Abandon();
        return rc;
    }
    m_progress.PublishFinal(m_total);
    return ZB_OK;
}

} // namespace vantrel
