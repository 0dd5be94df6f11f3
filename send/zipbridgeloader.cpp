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

// Binds every operation; false when one of the five the program relies on is missing.
bool ResolveAll(ZipBridge& bridge, QLibrary& library)
{
    const bool required =
        Resolve(library, "FolderProperties", bridge.FolderProperties) &&
        Resolve(library, "OrvakZipFolderRecursive", bridge.OrvakZipFolderRecursive) &&
        Resolve(library, "OrvakZipSingleFile", bridge.OrvakZipSingleFile) &&
        Resolve(library, "OrvakUnzipAllFolder", bridge.OrvakUnzipAllFolder) &&
        Resolve(library, "OrvakUnzipSingleFile", bridge.OrvakUnzipSingleFile);
    // The extras are optional: callers check them before use.
    Resolve(library, "ZipBridgeFolderProperties64", bridge.FolderProperties64);
    Resolve(library, "ZipBridgeUnzipSingleFileBounded", bridge.UnzipSingleFileBounded);
    Resolve(library, "ZipBridgeUnzipAllFolderBounded", bridge.UnzipAllFolderBounded);
    return required;
}

} // namespace

std::unique_ptr<ZipBridge> ZipBridge::Load(const QString& preferredFolder)
{
    QStringList candidates;
    if (!preferredFolder.isEmpty()) {
        const QString own = QDir(preferredFolder).filePath(QStringLiteral("libzipbridge.so"));
        if (QFileInfo::exists(own))
            candidates << QFileInfo(own).absoluteFilePath();
    }
    // The bare name lets the dynamic loader search its usual path.
    candidates << QStringLiteral("zipbridge");

    for (const QString& candidate : candidates) {
        auto bridge = std::make_unique<ZipBridge>();
        bridge->m_library.setFileName(candidate);
        if (!bridge->m_library.load())
            continue;
        if (ResolveAll(*bridge, bridge->m_library))
            return bridge;
        // An incomplete library is no component: unload it and try the next place.
        bridge->m_library.unload();
    }
    return nullptr;
}

ArchiveUnpacker::Result ZipBridge::Unpack(bool directory, const char* archivePath,
                                          const char* target, std::uint32_t* progress,
                                          std::uint32_t* cancel, std::uint64_t limitBytes) const
{
    const UnzipBoundedFn unzip = directory ? UnzipAllFolderBounded : UnzipSingleFileBounded;
    if (!unzip)
        return Result::Failed;
    switch (unzip(archivePath, target, progress, cancel, limitBytes)) {
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
    default:
        return Result::Failed;
    }
}

} // namespace vantrel
