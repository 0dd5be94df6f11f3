#pragma once

#include "zipbridge/cancelflag.h"
#include "zipbridge/progresscounter.h"
#include "zipbridge/sourcetree.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct archive;

namespace vantrel::test::zip {

// The archives the component wrote with libarchive's zip writer on one thread (each file
// deflated at level 1 in one stream, or stored, as CompressionProbe decides; DOS times and
// UTF-8 flags fixed afterwards by ZipHeaderFixup), kept to check that its own writer gives
// the same bytes wherever a file is a single deflate stream, so that partial archives cached
// by builds that wrote them still resume.
class ReferenceBuilder
{
public:
    // The whole archive of a tree or of one file, as the component's operations made it.
    static int ZipTree(const std::string& archivePath, const std::string& directory);
    static int ZipFile(const std::string& archivePath, const std::string& filePath);

    ReferenceBuilder(ProgressCounter progress, CancelFlag cancel);
    ~ReferenceBuilder();
    ReferenceBuilder(const ReferenceBuilder&) = delete;
    ReferenceBuilder& operator=(const ReferenceBuilder&) = delete;

    // Creates or truncates the archive. Results are ZipBridgeResult values.
    int Open(const std::string& archivePath);
    // The source bytes the whole archive will consume; progress stays below it until Finish.
    void SetTotal(std::uint64_t totalSourceBytes) { m_total = totalSourceBytes; }
    // Device and inode of the archive file, so that a tree walk can leave it out.
    bool ArchiveIdentity(dev_t& device, ino_t& inode) const;

    // `entry.relativePath` is the name inside the archive.
    int AddDirectory(const SourceEntry& entry);
    int AddFile(const std::string& sourcePath, const SourceEntry& entry);
    // Closes the archive, fixes its headers and publishes the total. After a failure or a
    // cancel the partial file stays for the caller to delete; no handle to it stays open.
    int Finish();

    std::uint64_t ArchiveSize() const { return m_archiveSize; }

private:
    static ssize_t WriteBlock(struct archive* a, void* self, const void* buffer,
                              std::size_t length);
    int WriteHeader(const SourceEntry& entry, bool isDirectory, bool store);
    int CopyData(int sourceFd, std::uint64_t length);
    // The result of a failed write: ZB_DESTINATION_ERROR when the archive's disk is full.
    int WriteFailure() const;
    void Abandon();

    ProgressCounter m_progress;
    CancelFlag m_cancel;
    int m_fd = -1;
    struct archive* m_archive = nullptr;
    std::uint64_t m_total = 0;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_archiveSize = 0;
    int m_writeErrno = 0;
    bool m_discardOutput = false;
    std::vector<unsigned char> m_buffer;
    std::vector<unsigned char> m_scratch;
};

} // namespace vantrel::test::zip
