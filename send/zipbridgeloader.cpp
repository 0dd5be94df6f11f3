#include "send/zipbridgeloader.h"

#include "zipbridge/zipbridge.h"

#include <QDir>
#include <QFileInfo>

namespace vantrel {

namespace {

template <typename Fn> bool Resolve(QLibrary& library, const char* name, Fn& target)
{
    target = reinterpret_cast<Fn>(library.resolve(name));
    return target != nullptr;
}

} // namespace

bool ZipBridgeLoader::ResolveAll()
{
    // Optional: a component without it is still complete, and every tree takes Unpack.
    Resolve(m_library, "ZipBridgeUnzipAllFolderStreaming", m_unzipStreaming);
    return Resolve(m_library, "ZipBridgeFolderProperties64", m_folderProperties) &&
           Resolve(m_library, "OrvakZipSingleFile", m_zipSingleFile) &&
           Resolve(m_library, "OrvakZipFolderRecursive", m_zipFolder) &&
           Resolve(m_library, "ZipBridgeUnzipSingleFileBounded", m_unzipSingleFile) &&
           Resolve(m_library, "ZipBridgeUnzipAllFolderBounded", m_unzipFolder) && ResolveOptional();
}

bool ZipBridgeLoader::ResolveOptional()
{
    // All three or none: a stream that cannot be read or closed is no use.
    if (!Resolve(m_library, "ZipBridgeOpenStoredStream", m_openStored) ||
        !Resolve(m_library, "ZipBridgeReadStoredStream", m_readStored) ||
        !Resolve(m_library, "ZipBridgeCloseStoredStream", m_closeStored)) {
        m_openStored = nullptr;
        m_readStored = nullptr;
        m_closeStored = nullptr;
    }
    return true;
}

std::unique_ptr<ZipBridgeLoader> ZipBridgeLoader::Load(const QStringList& preferredFolders)
{
    QStringList candidates;
    for (const QString& folder : preferredFolders) {
        if (folder.isEmpty())
            continue;
        const QString own = QDir(folder).filePath(QStringLiteral("libzipbridge.so"));
        if (QFileInfo::exists(own))
            candidates << QFileInfo(own).absoluteFilePath();
    }
    // The bare name lets the dynamic loader search its usual path.
    candidates << QStringLiteral("zipbridge");

    for (const QString& candidate : candidates) {
        std::unique_ptr<ZipBridgeLoader> bridge(new ZipBridgeLoader);
        bridge->m_library.setFileName(candidate);
        if (!bridge->m_library.load())
            continue;
        if (bridge->ResolveAll())
            return bridge;
        // An incomplete library is no component: unload it and try the next place.
        bridge->m_library.unload();
    }
    return nullptr;
}

int ZipBridgeLoader::FolderProperties(const char* directory, std::uint64_t* totalSize,
                                      std::uint32_t* dirCount, std::uint32_t* fileCount) const
{
    return m_folderProperties(directory, totalSize, dirCount, fileCount);
}

int ZipBridgeLoader::ZipSingleFile(const char* archivePath, const char* source,
                                   std::uint32_t* progress, std::uint32_t* unusedOut,
                                   std::uint32_t* cancel) const
{
    return m_zipSingleFile(archivePath, source, progress, unusedOut, cancel);
}

int ZipBridgeLoader::ZipFolder(const char* archivePath, const char* source, std::uint32_t* progress,
                               std::uint32_t* cancel) const
{
    return m_zipFolder(archivePath, source, progress, cancel);
}

int ZipBridgeLoader::OpenStoredStream(const char* filePath, ZipBridgeStoredStream** stream,
                                      std::uint64_t* archiveSize) const
{
    *stream = nullptr;
    return CanStreamStored() ? m_openStored(filePath, stream, archiveSize) : ZB_OK;
}

int ZipBridgeLoader::ReadStoredStream(ZipBridgeStoredStream* stream, std::uint64_t offset,
                                      void* buffer, std::uint32_t length, std::uint32_t* got) const
{
    return m_readStored(stream, offset, buffer, length, got);
}

void ZipBridgeLoader::CloseStoredStream(ZipBridgeStoredStream* stream) const
{
    if (stream)
        m_closeStored(stream);
}

ArchiveUnpacker::Result ZipBridgeLoader::Unpack(bool directory, const char* archivePath,
                                                const char* target, std::uint32_t* progress,
                                                std::uint32_t* cancel,
                                                std::uint64_t limitBytes) const
{
    const UnzipBoundedFn unzip = directory ? m_unzipFolder : m_unzipSingleFile;
    return ResultOf(unzip(archivePath, target, progress, cancel, limitBytes));
}

ArchiveUnpacker::Result ZipBridgeLoader::UnpackWhileArriving(
    const char* archivePath, const char* target, std::uint32_t* progress, std::uint32_t* cancel,
    std::uint64_t limitBytes, const std::uint64_t* arrived, const std::uint32_t* complete) const
{
    if (!m_unzipStreaming)
        return Result::NotStreamable;
    return ResultOf(
        m_unzipStreaming(archivePath, target, progress, cancel, limitBytes, arrived, complete));
}

ArchiveUnpacker::Result ZipBridgeLoader::ResultOf(int code)
{
    switch (code) {
    case ZB_OK:
        return Result::Ok;
    case ZB_UNSAFE_ENTRIES:
        return Result::UnsafeEntriesSkipped;
    case ZB_LIMIT_EXCEEDED:
        return Result::LimitExceeded;
    case ZB_DESTINATION_ERROR:
        return Result::DestinationError;
    case ZB_CANCELLED:
        return Result::Cancelled;
    case ZB_NOT_STREAMABLE:
        return Result::NotStreamable;
    default:
        return Result::Failed;
    }
}

} // namespace vantrel
