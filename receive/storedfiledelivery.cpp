#include "receive/storedfiledelivery.h"

#include "core/base/destinationname.h"
#include "core/base/fullio.h"
#include "receive/stagingname.h"
#include "receive/storedentrytracker.h"
#include "receive/storedziptail.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace vantrel {

namespace {

constexpr std::size_t CopyChunk = 8 * 1024 * 1024;
constexpr std::size_t PlainBlock = 1024 * 1024;

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now; false when the close reports a lost write.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool Cancelled(std::uint32_t* cancel)
{
    return cancel && std::atomic_ref<std::uint32_t>(*cancel).load(std::memory_order_relaxed) != 0;
}

void Publish(std::uint32_t* progress, std::uint64_t value, std::memory_order order)
{
    if (progress)
        std::atomic_ref<std::uint32_t>(*progress).store(
            value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value), order);
}

enum class CopyResult
{
    Done,
    SourceFailed,
    DestinationFailed,
    Cancelled
};

// `length` bytes from `from` at `offset` to the start of `to`, by the kernel where it can.
CopyResult CopyRange(int from, int to, off_t offset, std::uint64_t length, std::uint32_t* progress,
                     std::uint32_t* cancel)
{
    off_t in = offset;
    std::uint64_t done = 0;
    bool kernel = true;
    std::vector<unsigned char> block;
    while (done < length) {
        if (Cancelled(cancel))
            return CopyResult::Cancelled;
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(length - done, CopyChunk));
        if (kernel) {
            const ssize_t copied = ::copy_file_range(from, &in, to, nullptr, want, 0);
            if (copied > 0) {
                done += static_cast<std::uint64_t>(copied);
                Publish(progress, done, std::memory_order_relaxed);
                continue;
            }
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied == 0)
                return CopyResult::SourceFailed; // the archive is shorter than it was
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EPERM)
                return CopyResult::DestinationFailed; // a full disk, above all
            kernel = false; // the kernel will not: copy through a buffer from here on
            block.resize(PlainBlock);
            continue;
        }
        const std::size_t piece = std::min(want, PlainBlock);
        if (!ReadAt(from, block.data(), piece, static_cast<std::uint64_t>(in)))
            return CopyResult::SourceFailed;
        if (!WriteAll(to, block.data(), piece))
            return CopyResult::DestinationFailed;
        in += static_cast<off_t>(piece);
        done += piece;
        Publish(progress, done, std::memory_order_relaxed);
    }
    return CopyResult::Done;
}

// A hidden name beside the target that nothing holds yet, created exclusively.
int CreateStaging(const std::string& folder, const std::string& base, unsigned permissions,
                  std::string* path)
{
    for (unsigned n = 1; n <= StagingName::MaxFileNumber; ++n) {
        *path = folder + '/' + StagingName::Make(StagingName::Kind::File, base, ::getpid(), n);
        const int fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              static_cast<mode_t>(permissions | 0600));
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

StoredFileDelivery::Result
StoredFileDelivery::Deliver(const StoredEntryTracker& entry, const QString& archivePath,
                            const QString& target, std::uint64_t limitBytes,
                            std::uint32_t* progress, std::uint32_t* cancel)
{
    if (!entry.Usable() || !entry.Complete() || entry.size() > limitBytes)
        return Result::NotApplicable;
    const Descriptor archive(
        ::open(QFile::encodeName(archivePath).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st = {};
    if (archive.get() < 0 || ::fstat(archive.get(), &st) != 0)
        return Result::NotApplicable;
    const std::uint64_t archiveSize = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t dataEnd = entry.dataOffset() + entry.size();
    if (archiveSize < dataEnd || archiveSize - dataEnd > StoredZipTail::MaxTail)
        return Result::NotApplicable;
    std::vector<unsigned char> tail(static_cast<std::size_t>(archiveSize - dataEnd));
    if (!ReadAt(archive.get(), tail.data(), tail.size(), dataEnd))
        return Result::NotApplicable;
    const std::optional<StoredZipTail::Entry> checked =
        StoredZipTail::Check(entry, tail.data(), tail.size(), archiveSize);
    if (!checked)
        return Result::NotApplicable;

    // The target as the ordinary extraction names it: its folder resolved, its own name kept.
    const std::string destination = QFile::encodeName(target).toStdString();
    const DestinationName parts = DestinationName::Of(destination);
    char* resolved = ::realpath(parts.folder.c_str(), nullptr);
    if (!resolved)
        return Result::NotApplicable;
    const std::string folder(resolved);
    std::free(resolved);
    const std::string& base = parts.name;
    if (!parts.NameIsPlain() || folder.size() + base.size() + 64 >= PATH_MAX)
        return Result::NotApplicable;
    const std::string finalPath = (folder == "/" ? folder : folder + '/') + base;

    std::string staging;
    Descriptor out(CreateStaging(folder == "/" ? std::string() : folder, base, checked->permissions,
                                 &staging));
    if (out.get() < 0)
        return Result::NotApplicable;
    Publish(progress, 0, std::memory_order_relaxed);
    const CopyResult copied =
        CopyRange(archive.get(), out.get(), static_cast<off_t>(entry.dataOffset()), entry.size(),
                  progress, cancel);
    Result result = Result::Delivered;
    if (copied == CopyResult::Done) {
        // The times the ordinary extraction gives: the archive's, an access time it does
        // not carry being the epoch.
        const struct timespec times[2] = {{static_cast<time_t>(entry.atime().value_or(0)), 0},
                                          {static_cast<time_t>(*entry.mtime()), 0}};
        if (::futimens(out.get(), times) != 0 || !out.Close())
            result = Result::DestinationError;
    } else {
        result = copied == CopyResult::Cancelled           ? Result::Cancelled
                 : copied == CopyResult::DestinationFailed ? Result::DestinationError
                                                           : Result::NotApplicable;
    }
    out.Close();
    if (result == Result::Delivered && ::rename(staging.c_str(), finalPath.c_str()) != 0)
        result = Result::NotApplicable; // a folder in the way, say: the extraction decides
    if (result != Result::Delivered)
        ::unlink(staging.c_str());
    Publish(progress, result == Result::Delivered ? entry.size() : 0, std::memory_order_release);
    return result;
}

} // namespace vantrel
