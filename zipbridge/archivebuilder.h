#pragma once

#include "zipbridge/cancelflag.h"
#include "zipbridge/progresscounter.h"
#include "zipbridge/sourcetree.h"
#include "zipbridge/zipoutput.h"
#include "zipbridge/ziprecordwriter.h"

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

class JobPool;
struct ZipJob;

// Writes one zip archive (layout: ZipRecordWriter) with every core deflating. The calling thread
// reads the files in listing order and hands them to a JobPool, a whole small file or one
// block of kBlockSize of a large file at a time; it writes the results in the same order as
// they complete. A file of more than one block is deflated in independent blocks, each primed
// with the 32 KiB of input before it, which together form one deflate stream; a file of one
// block is a single stream, as it always was. So the bytes depend only on the source, never
// on the number of threads or their timing. Files are deflated at level 1 or stored
// (CompressionProbe); owners are 0 and only the modification time is recorded.
//
// At most a few jobs per thread are in flight, so memory stays bounded whatever the tree.
// Progress counts source bytes written to the archive and reaches the total only once the
// archive is closed; cancel is checked for every block, by the reader and by the threads. No
// thread outlives the builder.
class ArchiveBuilder
{
public:
    static constexpr std::size_t kBlockSize = 256 * 1024;

    ArchiveBuilder(ProgressCounter progress, CancelFlag cancel, unsigned threads);
    ~ArchiveBuilder();
    ArchiveBuilder(const ArchiveBuilder&) = delete;
    ArchiveBuilder& operator=(const ArchiveBuilder&) = delete;

    // Creates or truncates the archive. Results are ZipBridgeResult values.
    int Open(const std::string& archivePath);
    // The source bytes the whole archive will consume; progress stays below it until Finish.
    void SetTotal(std::uint64_t totalSourceBytes) { m_total = totalSourceBytes; }
    // Device and inode of the archive file, so that a tree walk can leave it out.
    bool ArchiveIdentity(dev_t& device, ino_t& inode) const;

    // `entry.relativePath` is the name inside the archive. Both may return before the entry
    // is written; a failure of an earlier entry's writing shows in a later call.
    int AddDirectory(const SourceEntry& entry);
    int AddFile(const std::string& sourcePath, const SourceEntry& entry);
    // Writes what is still pending, the central directory and the end record, and publishes
    // the total. After a failure or a cancel the partial file stays for the caller to delete;
    // no handle to it stays open and no thread runs.
    int Finish();

    std::uint64_t ArchiveSize() const { return m_archiveSize; }

private:
    // An entry whose records are still to be written.
    struct EntryState
    {
        ZipEntryInfo info;
        std::uint32_t crc = 0;
        std::uint64_t compressed = 0;
    };
    // One piece of output, in archive order: an entry's header and first block, a further
    // block, or a directory (no job).
    struct Pending
    {
        std::shared_ptr<EntryState> entry;
        std::unique_ptr<ZipJob> job;
        bool first = true;
        bool last = true;
    };

    static ZipEntryInfo InfoOf(const SourceEntry& entry, bool isDirectory);
    int ReadFile(int fd, const SourceEntry& entry, bool store);
    std::unique_ptr<ZipJob> TakeJob();
    // Makes room for one more piece, writing the oldest when too many are in flight.
    int Reserve();
    int Enqueue(Pending pending);
    int WriteFront();
    int WriteFailure() const;
    void Abandon();

    ProgressCounter m_progress;
    CancelFlag m_cancel;
    unsigned m_threads;
    ZipOutput m_output;
    std::deque<Pending> m_pending;
    std::vector<std::unique_ptr<ZipJob>> m_spare;
    std::vector<unsigned char> m_records;
    std::vector<unsigned char> m_central;
    std::uint64_t m_entries = 0;
    std::vector<unsigned char> m_scratch;
    std::vector<unsigned char> m_dictionary;
    std::uint64_t m_total = 0;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_archiveSize = 0;
    // Last, so that it goes first: its threads stop before the jobs they may hold.
    std::unique_ptr<JobPool> m_pool;
};

} // namespace vantrel
