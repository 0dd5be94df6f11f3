#pragma once

#include "zipbridge/cancelflag.h"
#include "zipbridge/progresscounter.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct archive;
struct archive_entry;

namespace vantrel {

// Unpacks a zip archive, which may be hostile, with libarchive. Only directories and regular
// files are written, all below the destination: entries with unsafe names, links, devices and
// entries that would pass through a link already on disk are refused (checked here, and again
// by libarchive's secure-extraction flags) while the rest is extracted. Progress counts bytes
// written. Going past the limit, an entry whose data disagrees with its stated size or
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
    // The archive's one file, whatever its name, to exactly `destinationFile`.
    int ExtractSingleFile(const std::string& archivePath, const std::string& destinationFile);

private:
    static bool IsEmptyZip(const std::string& archivePath);
    int OpenArchive(const std::string& archivePath);
    int OpenDisk();
    int WriteEntry(struct archive_entry* entry, const std::string& target, bool isDirectory,
                   bool& refused);
    // The entry's data; `declaredSize` is kNoLimit when the archive states none.
    int CopyData(std::uint64_t declaredSize);
    // An entry whose data and headers disagree: the whole call is undone.
    int DamagedEntry();
    // Creates the destination and any missing folder above it.
    void MakeFolders(const std::string& path);
    void NoteMissing(const std::string& root, const std::string& relative, bool isDirectory);
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
    std::set<std::string> m_noted;
};

} // namespace vantrel
