#pragma once

#include "core/base/archiveunpacker.h"

#include <QLibrary>
#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel {

// The compression component, loaded by name at start-up, and its operations.
class ZipBridge final : public ArchiveUnpacker
{
public:
    using FolderPropertiesFn = int (*)(const char*, std::uint32_t*, std::uint32_t*, std::uint32_t*);
    using FolderProperties64Fn = int (*)(const char*, std::uint64_t*, std::uint32_t*,
                                         std::uint32_t*);
    using ZipSingleFileFn = int (*)(const char*, const char*, std::uint32_t*, std::uint32_t*,
                                    std::uint32_t*);
    using ZipFolderFn = int (*)(const char*, const char*, std::uint32_t*, std::uint32_t*);
    using UnzipFn = int (*)(const char*, const char*, std::uint32_t*, std::uint32_t*);
    using UnzipBoundedFn = int (*)(const char*, const char*, std::uint32_t*, std::uint32_t*,
                                   std::uint64_t);

    // Loads "libzipbridge.so" from `preferredFolder` first (the program's own folder),
    // then from the library search path. Nothing when it cannot be loaded.
    static std::unique_ptr<ZipBridge> Load(const QString& preferredFolder);

    FolderPropertiesFn FolderProperties = nullptr;
    FolderProperties64Fn FolderProperties64 = nullptr;
    ZipSingleFileFn OrvakZipSingleFile = nullptr;
    ZipFolderFn OrvakZipFolderRecursive = nullptr;
    UnzipFn OrvakUnzipSingleFile = nullptr;
    UnzipFn OrvakUnzipAllFolder = nullptr;
    UnzipBoundedFn UnzipSingleFileBounded = nullptr;
    UnzipBoundedFn UnzipAllFolderBounded = nullptr;

    QString fileName() const { return m_library.fileName(); }

    Result Unpack(bool directory, const char* archivePath, const char* target,
                  std::uint32_t* progress, std::uint32_t* cancel,
                  std::uint64_t limitBytes) const override;

private:
    QLibrary m_library;
};

} // namespace vantrel
