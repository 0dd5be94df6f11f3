// Loading the compression component by name.
#include "send/zipbridgeloader.h"
#include "tests/support/tempprofile.h"

#include <QDir>
#include <gtest/gtest.h>

#include <limits>

namespace vantrel {
namespace {

const QString StandInFolder = QStringLiteral(ZIPBRIDGE_STANDIN_DIR);

TEST(ZipBridgeLoaderTest, LoadsTheComponentFromTheProgramFolder)
{
    const auto bridge = ZipBridgeLoader::Load(test::BuildFolder());
    ASSERT_TRUE(bridge);

    test::TempFolder folder;
    std::uint64_t total = 9;
    std::uint32_t dirs = 0, files = 9;
    EXPECT_EQ(bridge->FolderProperties(folder.path().toUtf8().constData(), &total, &dirs, &files),
              0);
    EXPECT_EQ(total, 0u);
    EXPECT_EQ(dirs, 1u);
    EXPECT_EQ(files, 0u);
}

TEST(ZipBridgeLoaderTest, TakesALibraryOfferingExactlyTheOperationsTheEngineCalls)
{
    const QString folder = StandInFolder + QStringLiteral("/complete");
    const auto bridge = ZipBridgeLoader::Load(folder);
    ASSERT_TRUE(bridge);
    ASSERT_TRUE(bridge->fileName().startsWith(folder)) << bridge->fileName().toStdString();

    // Each operation reaches the stand-in, which answers 77.
    constexpr int StandIn = 77;
    std::uint64_t total = 0;
    std::uint32_t dirs = 0, files = 0, progress = 0, unused = 0, cancel = 0;
    EXPECT_EQ(bridge->FolderProperties("x", &total, &dirs, &files), StandIn);
    EXPECT_EQ(bridge->ZipSingleFile("a", "x", &progress, &unused, &cancel), StandIn);
    EXPECT_EQ(bridge->ZipFolder("a", "x", &progress, &cancel), StandIn);
    // An answer the component never gives is a failure to the receive side.
    for (const bool directory : {false, true}) {
        EXPECT_EQ(bridge->Unpack(directory, "a", "x", &progress, &cancel,
                                 std::numeric_limits<std::uint64_t>::max()),
                  ArchiveUnpacker::Result::Failed);
    }
}

TEST(ZipBridgeLoaderTest, TakesTheFirstFolderHoldingACompleteComponent)
{
    // A folder without the library (an installed program's own folder) and one with an
    // incomplete library are passed over for the next folder named.
    test::TempFolder empty;
    const QString incomplete = StandInFolder + QStringLiteral("/OrvakZipFolderRecursive");
    const QString complete = StandInFolder + QStringLiteral("/complete");
    const auto bridge = ZipBridgeLoader::Load(QStringList{empty.path(), incomplete, complete});
    ASSERT_TRUE(bridge);
    EXPECT_TRUE(bridge->fileName().startsWith(complete)) << bridge->fileName().toStdString();
}

TEST(ZipBridgeLoaderTest, RefusesALibraryMissingAnyOperationTheEngineCalls)
{
    for (const char* missing :
         {"ZipBridgeFolderProperties64", "OrvakZipSingleFile", "OrvakZipFolderRecursive",
          "ZipBridgeUnzipSingleFileBounded", "ZipBridgeUnzipAllFolderBounded"}) {
        SCOPED_TRACE(missing);
        const QString folder = StandInFolder + QLatin1Char('/') + QLatin1String(missing);
        ASSERT_TRUE(QDir(folder).exists(QStringLiteral("libzipbridge.so")));
        // Whatever the search path offers instead, the incomplete library is never handed out.
        const auto bridge = ZipBridgeLoader::Load(folder);
        if (bridge)
            EXPECT_FALSE(bridge->fileName().startsWith(folder));
    }
}

} // namespace
} // namespace vantrel
