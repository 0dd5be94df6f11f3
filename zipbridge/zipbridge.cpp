// The exported operations: argument checks, then the work of ArchiveBuilder, SourceTree and
// ArchiveExtractor. Nothing here keeps state between calls, so any number may run at once.
#include "zipbridge/zipbridge.h"

#include "zipbridge/archivebuilder.h"
#include "zipbridge/archiveextractor.h"
#include "zipbridge/cancelflag.h"
#include "zipbridge/jobpool.h"
#include "zipbridge/progresscounter.h"
#include "zipbridge/sourcetree.h"
#include "zipbridge/storedzipstream.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>

using vantrel::ArchiveBuilder;
using vantrel::ArchiveExtractor;
using vantrel::CancelFlag;
using vantrel::JobPool;
using vantrel::ProgressCounter;
using vantrel::SourceEntry;
using vantrel::SourceTree;
using vantrel::StoredZipStream;

// The opaque handle of the C operations.
struct ZipBridgeStoredStream
{
    std::unique_ptr<StoredZipStream> stream;
};

namespace {

int Unzip(const char* archivePath, const char* destination, uint32_t* progress, uint32_t* cancel,
          uint64_t limitBytes, bool singleFile)
{
    if (!archivePath || !destination || !*destination)
        return ZB_DESTINATION_ERROR;
    ArchiveExtractor extractor{ProgressCounter(progress), CancelFlag(cancel), limitBytes};
    return singleFile ? extractor.ExtractSingleFile(archivePath, destination)
                      : extractor.ExtractTree(archivePath, destination);
}

} // namespace

extern "C" {

int ZipBridgeFolderProperties64(const char* directory, uint64_t* totalSize, uint32_t* dirCount,
                                uint32_t* fileCount)
{
    SourceTree tree;
    const bool ok = directory && tree.Scan(directory);
    if (totalSize)
        *totalSize = tree.TotalSize();
    if (dirCount)
        *dirCount = tree.DirCount();
    if (fileCount)
        *fileCount = tree.FileCount();
    return ok ? ZB_OK : ZB_SOURCE_ERROR;
}

int FolderProperties(const char* directory, uint32_t* totalSize, uint32_t* dirCount,
                     uint32_t* fileCount)
{
    uint64_t total = 0;
    const int rc = ZipBridgeFolderProperties64(directory, &total, dirCount, fileCount);
    if (totalSize)
        *totalSize = ProgressCounter::Clamp(total);
    return rc;
}

int OrvakZipSingleFile(const char* archivePath, const char* filePath, uint32_t* progress,
                       uint32_t* unusedOut, uint32_t* cancel)
{
    if (!archivePath || !filePath)
        return ZB_SOURCE_ERROR;
    struct stat st = {};
    if (stat(filePath, &st) != 0 || !S_ISREG(st.st_mode))
        return ZB_SOURCE_ERROR;
    // The chosen file may be reached through a link; the archive names it as it was chosen.
    char* real = realpath(filePath, nullptr);
    if (!real)
        return ZB_SOURCE_ERROR;
    const std::string path(real);
    std::free(real);
    const std::string chosen(filePath);
    SourceEntry entry;
    entry.relativePath = chosen.substr(chosen.rfind('/') + 1);
    entry.size = static_cast<uint64_t>(st.st_size);
    entry.mode = st.st_mode;
    entry.mtime = st.st_mtim.tv_sec;

    ArchiveBuilder builder{ProgressCounter(progress), CancelFlag(cancel),
                           JobPool::DefaultThreads()};
    builder.SetTotal(entry.size);
    int rc = builder.Open(archivePath);
    if (rc == ZB_OK)
        rc = builder.AddFile(path, entry);
    if (rc == ZB_OK)
        rc = builder.Finish();
    // The extra counter gets the archive's size; nothing relies on it.
    if (unusedOut && rc == ZB_OK)
        ProgressCounter(unusedOut).PublishFinal(builder.ArchiveSize());
    return rc;
}

int OrvakZipFolderRecursive(const char* archivePath, const char* directory, uint32_t* progress,
                            uint32_t* cancel)
{
    if (!archivePath || !directory)
        return ZB_SOURCE_ERROR;
    ArchiveBuilder builder{ProgressCounter(progress), CancelFlag(cancel),
                           JobPool::DefaultThreads()};
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

    const std::string root(directory);
    for (const SourceEntry& entry : tree.Entries()) {
        rc = entry.isDirectory ? builder.AddDirectory(entry)
                               : builder.AddFile(root + '/' + entry.relativePath, entry);
        if (rc != ZB_OK)
            return rc;
    }
    return builder.Finish();
}

int OrvakUnzipSingleFile(const char* archivePath, const char* destinationFile, uint32_t* progress,
                         uint32_t* cancel)
{
    return Unzip(archivePath, destinationFile, progress, cancel, ArchiveExtractor::kNoLimit, true);
}

int OrvakUnzipAllFolder(const char* archivePath, const char* destinationDir, uint32_t* progress,
                        uint32_t* cancel)
{
    return Unzip(archivePath, destinationDir, progress, cancel, ArchiveExtractor::kNoLimit, false);
}

int ZipBridgeUnzipSingleFileBounded(const char* archivePath, const char* destinationFile,
                                    uint32_t* progress, uint32_t* cancel, uint64_t limitBytes)
{
    return Unzip(archivePath, destinationFile, progress, cancel, limitBytes, true);
}

int ZipBridgeUnzipAllFolderBounded(const char* archivePath, const char* destinationDir,
                                   uint32_t* progress, uint32_t* cancel, uint64_t limitBytes)
{
    return Unzip(archivePath, destinationDir, progress, cancel, limitBytes, false);
}

int ZipBridgeOpenStoredStream(const char* filePath, ZipBridgeStoredStream** stream,
                              uint64_t* archiveSize)
{
    if (!filePath || !stream)
        return ZB_SOURCE_ERROR;
    *stream = nullptr;
    std::unique_ptr<StoredZipStream> opened;
    const int rc = StoredZipStream::Open(filePath, opened);
    if (rc != ZB_OK || !opened)
        return rc;
    if (archiveSize)
        *archiveSize = opened->Size();
    *stream = new ZipBridgeStoredStream{std::move(opened)};
    return ZB_OK;
}

int ZipBridgeReadStoredStream(ZipBridgeStoredStream* stream, uint64_t offset, void* buffer,
                              uint32_t length, uint32_t* got)
{
    if (got)
        *got = 0;
    if (!stream || !buffer || !got)
        return ZB_SOURCE_ERROR;
    std::size_t read = 0;
    const int rc = stream->stream->Read(offset, static_cast<unsigned char*>(buffer), length, read);
    *got = static_cast<uint32_t>(read);
    return rc;
}

void ZipBridgeCloseStoredStream(ZipBridgeStoredStream* stream)
{
    delete stream;
}

int ZipBridgeUnzipAllFolderStreaming(const char* archivePath, const char* destinationDir,
                                     uint32_t* progress, uint32_t* cancel, uint64_t limitBytes,
                                     const uint64_t* arrived, const uint32_t* complete)
{
    if (!archivePath || !destinationDir || !*destinationDir)
        return ZB_DESTINATION_ERROR;
    ArchiveExtractor extractor{ProgressCounter(progress), CancelFlag(cancel), limitBytes};
    return extractor.ExtractTreeStreaming(archivePath, destinationDir, arrived, complete);
}

} // extern "C"
