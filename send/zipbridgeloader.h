#pragma once

#include "core/base/archiveunpacker.h"

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

struct ZipBridgeStoredStream;

namespace vantrel {

// The compression component, loaded by name at start-up, with the operations the engine
// calls. A bridge exists only once every one of them has been found in the library, so
// callers use them without checking.
class ZipBridgeLoader final : public ArchiveUnpacker
{
public:
    // Loads "libzipbridge.so" from the first of `preferredFolders` that holds a complete one,
    // then from the library search path. Nothing when no library offering every operation
    // can be loaded.
    static std::unique_ptr<ZipBridgeLoader> Load(const QStringList& preferredFolders);
    static std::unique_ptr<ZipBridgeLoader> Load(const QString& preferredFolder)
    {
        return Load(QStringList{preferredFolder});
    }

    // Counts a folder's tree: its total size, folders (itself included) and files.
    int FolderProperties(const char* directory, std::uint64_t* totalSize, std::uint32_t* dirCount,
                         std::uint32_t* fileCount) const;
    // Compresses one file or a folder's tree into `archivePath`; `progress` grows with the
    // bytes read and a non-zero `cancel` stops it.
    int ZipSingleFile(const char* archivePath, const char* source, std::uint32_t* progress,
                      std::uint32_t* unusedOut, std::uint32_t* cancel) const;
    int ZipFolder(const char* archivePath, const char* source, std::uint32_t* progress,
                  std::uint32_t* cancel) const;

    // Whether the component can produce a stored single file's archive on the fly; a component
    // without these operations has every archive written.
    bool CanStreamStored() const { return m_openStored && m_readStored && m_closeStored; }
    // ZB_OK with `stream` null when the file's archive is to be written (deflated).
    int OpenStoredStream(const char* filePath, ZipBridgeStoredStream** stream,
                         std::uint64_t* archiveSize) const;
    int ReadStoredStream(ZipBridgeStoredStream* stream, std::uint64_t offset, void* buffer,
                         std::uint32_t length, std::uint32_t* got) const;
    void CloseStoredStream(ZipBridgeStoredStream* stream) const;

    Result Unpack(bool directory, const char* archivePath, const char* target,
                  std::uint32_t* progress, std::uint32_t* cancel,
                  std::uint64_t limitBytes) const override;
    // NotStreamable from a component without the operation.
    Result UnpackWhileArriving(const char* archivePath, const char* target, std::uint32_t* progress,
                               std::uint32_t* cancel, std::uint64_t limitBytes,
                               const std::uint64_t* arrived,
                               const std::uint32_t* complete) const override;

    QString fileName() const { return m_library.fileName(); }

private:
    using FolderPropertiesFn = int (*)(const char*, std::uint64_t*, std::uint32_t*, std::uint32_t*);
    using ZipSingleFileFn = int (*)(const char*, const char*, std::uint32_t*, std::uint32_t*,
                                    std::uint32_t*);
    using ZipFolderFn = int (*)(const char*, const char*, std::uint32_t*, std::uint32_t*);
    using UnzipBoundedFn = int (*)(const char*, const char*, std::uint32_t*, std::uint32_t*,
                                   std::uint64_t);
    using UnzipStreamingFn = int (*)(const char*, const char*, std::uint32_t*, std::uint32_t*,
                                     std::uint64_t, const std::uint64_t*, const std::uint32_t*);
    static Result ResultOf(int code);

    using OpenStoredFn = int (*)(const char*, ZipBridgeStoredStream**, std::uint64_t*);
    using ReadStoredFn = int (*)(ZipBridgeStoredStream*, std::uint64_t, void*, std::uint32_t,
                                 std::uint32_t*);
    using CloseStoredFn = void (*)(ZipBridgeStoredStream*);

    ZipBridgeLoader() = default;
    bool ResolveAll();
    bool ResolveOptional(); // the stored stream, which older components lack

    QLibrary m_library;
    FolderPropertiesFn m_folderProperties = nullptr;
    ZipSingleFileFn m_zipSingleFile = nullptr;
    ZipFolderFn m_zipFolder = nullptr;
    UnzipBoundedFn m_unzipSingleFile = nullptr;
    UnzipBoundedFn m_unzipFolder = nullptr;
    OpenStoredFn m_openStored = nullptr;
    ReadStoredFn m_readStored = nullptr;
    CloseStoredFn m_closeStored = nullptr;
    UnzipStreamingFn m_unzipStreaming = nullptr; // optional
};

} // namespace vantrel
