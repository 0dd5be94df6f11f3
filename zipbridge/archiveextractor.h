#pragma once

#include "zipbridge/cancelflag.h"
#include "zipbridge/progresscounter.h"

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct archive;
struct archive_entry;

namespace vantrel {

class TreeWriter;

// Unpacks a zip archive, which may be hostile, read with libarchive. Only directories and
// regular files are written, all below the destination: entries with unsafe names, links,
// devices and entries that would pass through a link already on disk are refused (a tree's
// folders are opened without following links by TreeWriter; a single file goes through
// libarchive's disk writer and its secure-extraction flags) while the rest is extracted. Progress
// counts bytes written. Going past the limit, an entry whose data disagrees with its stated size or
// checksum, or a destination that cannot be written (a full disk) stops the extraction and
// removes what it wrote. A file's length comes only from the bytes written, and an entry counts
// toward the limit by the larger of its stated size and what it wrote.
class ArchiveExtractor
{
public:
    static constexpr std::uint64_t kNoLimit = ~std::uint64_t{0};

    ArchiveExtractor(ProgressCounter progress, CancelFlag cancel, std::uint64_t limitBytes);
    ~ArchiveExtractor();
    ArchiveExtractor(const ArchiveExtractor&) = delete;
    ArchiveExtractor& operator=(const ArchiveExtractor&) = delete;

    // Every entry below `destinationDir`, created when missing. Results are ZipBridgeResult.
    int ExtractTree(const std::string& archivePath, const std::string& destinationDir);
    // The same while the archive is still being written: `arrived` counts the bytes of the
    // archive on disk so far (it only grows) and `complete` turns 1 once that count is final;
    // the extraction reads no further than `arrived`, waiting (until cancelled) for more. Only
    // what every local header, data descriptor and the central directory agree on is kept: an
    // archive the streaming reader cannot follow, or whose central directory tells another
    // story (other entries, names, sizes, CRCs, types), gives ZB_NOT_STREAMABLE with nothing
    // left of what this call wrote, and the ordinary extraction of the complete archive
    // decides. Refused entries, the limit, a full disk and a cancel end it as ExtractTree's do.
    int ExtractTreeStreaming(const std::string& archivePath, const std::string& destinationDir,
                             const std::uint64_t* arrived, const std::uint32_t* complete);
    // The archive's one file, whatever its name, to exactly `destinationFile`.
    int ExtractSingleFile(const std::string& archivePath, const std::string& destinationFile);

private:
    // One entry as the streaming pass met it, to be held against the central directory.
    struct Seen
    {
        std::string name;
        std::string target; // empty when nothing was written for it
        bool isDirectory = false;
        std::uint64_t size = 0;
        std::uint32_t crc = 0;
        // The permissions it was made with, when this call made it.
        std::optional<mode_t> createdPerm;
        std::int64_t headerOffset = -1; // where the reader met its local header
    };

    static bool IsEmptyZip(const std::string& archivePath);
    static long ReadGrowing(struct archive*, void* self, const void** buffer);
    long ReadMore(const void** buffer);
    int ExtractEntries(const std::string& destinationDir);
    // The streaming pass against the central directory (entries, their order and the places
    // of their local headers); the permissions of the directory applied to what was written.
    // False when they disagree.
    bool MatchCentralDirectory();
    int OpenArchive(const std::string& archivePath);
    int OpenDisk();
    int WriteEntry(struct archive_entry* entry, const std::string& target, bool isDirectory,
                   bool& refused);
    // One entry of a tree, by the tree writer, below m_root.
    int WriteTreeEntry(struct archive_entry* entry, const std::string& relative,
                       const std::string& target, bool isDirectory, bool& refused);
    // The entry's data; `declaredSize` is kNoLimit when the archive states none.
    int CopyData(std::uint64_t declaredSize);
    // An entry whose data and headers disagree: the whole call is undone.
    int DamagedEntry();
    // Creates the destination and any missing folder above it.
    void MakeFolders(const std::string& path);
    int Finish(int result, bool refusedSome);
    void RemoveWritten();

    ProgressCounter m_progress;
    CancelFlag m_cancel;
    std::uint64_t m_limit;
    std::uint64_t m_written = 0;
    bool m_damaged = false;
    struct archive* m_reader = nullptr;
    struct archive* m_disk = nullptr;
    // What this call created or wrote, in order, for the undo.
    std::vector<std::pair<std::string, bool>> m_writtenPaths;
    std::vector<std::pair<std::string, bool>> m_pending;
    // A tree's destination, resolved, and its writer.
    std::string m_root;
    std::unique_ptr<TreeWriter> m_tree;
    // The streaming pass: the archive as it grows, and what it met.
    bool m_streaming = false;
    int m_fd = -1;
    std::uint64_t m_readOffset = 0;
    const std::uint64_t* m_arrived = nullptr;
    const std::uint32_t* m_complete = nullptr;
    std::vector<unsigned char> m_block;
    std::vector<Seen> m_seen;
};

} // namespace vantrel
