// Loading the compression component by name.
#include "send/zipbridgeloader.h"
#include "tests/support/tempprofile.h"

#include <QDir>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(ZipBridgeLoaderTest, ResolvesEveryOperationFromTheProgramFolder)
{
    const auto bridge = ZipBridge::Load(test::BuildFolder());
    ASSERT_TRUE(bridge);
    EXPECT_TRUE(bridge->FolderProperties && bridge->OrvakZipSingleFile &&
                bridge->OrvakZipFolderRecursive && bridge->OrvakUnzipSingleFile &&
                bridge->OrvakUnzipAllFolder);
    EXPECT_TRUE(bridge->FolderProperties64 && bridge->UnzipSingleFileBounded &&
                bridge->UnzipAllFolderBounded);

    test::TempFolder folder;
    std::uint32_t total = 9, dirs = 0, files = 9;
    EXPECT_EQ(bridge->FolderProperties(folder.path().toUtf8().constData(), &total, &dirs, &files),
              0);
    EXPECT_EQ(dirs, 1u);
    EXPECT_EQ(files, 0u);
}

TEST(ZipBridgeLoaderTest, RefusesALibraryMissingOperations)
{
    const QString incomplete = QStringLiteral(ZIPBRIDGE_INCOMPLETE_DIR);
    ASSERT_TRUE(QDir(incomplete).exists(QStringLiteral("libzipbridge.so")));
    // Whatever the search path offers instead, the incomplete library is never handed out.
    const auto bridge = ZipBridge::Load(incomplete);
    if (bridge) {
        EXPECT_FALSE(bridge->fileName().startsWith(incomplete));
        EXPECT_TRUE(bridge->OrvakZipSingleFile && bridge->OrvakUnzipAllFolder);
    }
}

} // namespace
} // namespace vantrel
