#pragma once

// The compression component: a separately built shared library (libzipbridge.so) with
// five operations of C linkage. Counters are 32-bit words owned by the caller and shared
// across threads: the component updates `progress` atomically and polls `cancel`
// (1 = stop). Results are 0 on success; callers may ignore them.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZIPBRIDGE_EXPORT __attribute__((visibility("default")))

enum ZipBridgeResult
{
    ZB_OK = 0,
    ZB_CANCELLED = 1,
    ZB_SOURCE_ERROR = 2,      /* source missing or unreadable */
    ZB_ARCHIVE_ERROR = 3,     /* archive cannot be written, or is damaged */
    ZB_DESTINATION_ERROR = 4, /* the destination cannot be written (disk full, no rights) */
    ZB_LIMIT_EXCEEDED = 5,    /* extraction went past the caller's limit */
    ZB_UNSAFE_ENTRIES = 6,    /* some entries were refused (outside the target, links); the rest were extracted */
    ZB_NOT_STREAMABLE = 7     /* the archive cannot be followed while it arrives; nothing was kept */
};

/* Total size in bytes, directory count (at least 1, the directory itself) and file count. */
ZIPBRIDGE_EXPORT int FolderProperties(const char* directory, uint32_t* totalSize,
                                      uint32_t* dirCount, uint32_t* fileCount);

/* The same, with a 64-bit total, so that callers can refuse trees of 4 GiB or more. */
ZIPBRIDGE_EXPORT int ZipBridgeFolderProperties64(const char* directory, uint64_t* totalSize,
                                                 uint32_t* dirCount, uint32_t* fileCount);

/* `progress` reaches the file size only once the archive is complete and closed. */
ZIPBRIDGE_EXPORT int OrvakZipSingleFile(const char* archivePath, const char* filePath,
                                        uint32_t* progress, uint32_t* unusedOut, uint32_t* cancel);

/* `progress` reaches the FolderProperties total only once the archive is complete and closed. */
ZIPBRIDGE_EXPORT int OrvakZipFolderRecursive(const char* archivePath, const char* directory,
                                             uint32_t* progress, uint32_t* cancel);

ZIPBRIDGE_EXPORT int OrvakUnzipSingleFile(const char* archivePath, const char* destinationFile,
                                          uint32_t* progress, uint32_t* cancel);

ZIPBRIDGE_EXPORT int OrvakUnzipAllFolder(const char* archivePath, const char* destinationDir,
                                         uint32_t* progress, uint32_t* cancel);

/* Extraction bounded by `limitBytes` of output (the request's declared size): going past it
   stops with ZB_LIMIT_EXCEEDED and removes what this call wrote; so does a destination that
   cannot be written (ZB_DESTINATION_ERROR, for example a full disk). An entry counts by the
   larger of its stated size and its data. An entry whose data disagrees with its stated size
   or checksum fails with ZB_ARCHIVE_ERROR, and what this call wrote is removed too; this holds
   for every extraction, bounded or not. */
ZIPBRIDGE_EXPORT int ZipBridgeUnzipSingleFileBounded(const char* archivePath,
                                                     const char* destinationFile,
                                                     uint32_t* progress, uint32_t* cancel,
                                                     uint64_t limitBytes);
ZIPBRIDGE_EXPORT int ZipBridgeUnzipAllFolderBounded(const char* archivePath,
                                                    const char* destinationDir, uint32_t* progress,
                                                    uint32_t* cancel, uint64_t limitBytes);

/* A single file's archive, produced on the fly when it would hold the file stored (deflating
   does not pay): byte for byte what OrvakZipSingleFile writes for that file, without writing
   it. *stream is set and *archiveSize is its size; *stream stays null (result ZB_OK) when the
   file would be deflated, and the archive must be written as usual. */
typedef struct ZipBridgeStoredStream ZipBridgeStoredStream;
ZIPBRIDGE_EXPORT int ZipBridgeOpenStoredStream(const char* filePath, ZipBridgeStoredStream** stream,
                                               uint64_t* archiveSize);
/* Up to `length` bytes at `offset` into *got (fewer only at the end). Reads that follow each
   other are cheapest; any other offset first reads the file's bytes before it once.
   ZB_SOURCE_ERROR when the file cannot be read or has changed its size since it was opened. */
ZIPBRIDGE_EXPORT int ZipBridgeReadStoredStream(ZipBridgeStoredStream* stream, uint64_t offset,
                                               void* buffer, uint32_t length, uint32_t* got);
ZIPBRIDGE_EXPORT void ZipBridgeCloseStoredStream(ZipBridgeStoredStream* stream);

/* The bounded extraction of a tree while its archive is still being written to
   `archivePath`: `arrived` is the number of its bytes on disk so far (it only grows) and
   `complete` turns 1 once that number is final, both words shared with the writing thread.
   Reading waits for more until then, or until `cancel`. Entries are only kept when the
   central directory agrees with what the local headers and data descriptors said (the same
   entries, names, types, sizes and CRCs); otherwise, and for archives the streaming reader
   cannot follow, the result is ZB_NOT_STREAMABLE with nothing of this call left, and the
   complete archive is for ZipBridgeUnzipAllFolderBounded. */
ZIPBRIDGE_EXPORT int ZipBridgeUnzipAllFolderStreaming(const char* archivePath,
                                                      const char* destinationDir,
                                                      uint32_t* progress, uint32_t* cancel,
                                                      uint64_t limitBytes,
                                                      const uint64_t* arrived,
                                                      const uint32_t* complete);

#ifdef __cplusplus
}
#endif
