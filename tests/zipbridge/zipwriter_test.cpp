// The component's own zip writer: the same bytes whatever the number of threads, the same bytes
// as the single-threaded libarchive writer wherever a file is one deflate stream, archives that
// every reader accepts, and clean failures with no thread left behind.
#include "tests/support/tempprofile.h"
#include "tests/zipbridge/referencebuilder.h"
#include "tests/zipbridge/zipfixtures.h"
#include "zipbridge/zipbridge.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace vantrel::test::zip {
namespace {

namespace fs = std::filesystem;

// The block size of the writer: files above it are deflated in independent blocks.
constexpr std::size_t kBlock = 256 * 1024;

// Fixes the number of compression threads for the operations run in its lifetime.
class ZipThreads
{
public:
    explicit ZipThreads(int threads)
    {
        setenv("VANTREL_ZIP_THREADS", std::to_string(threads).c_str(), 1);
    }
    ~ZipThreads() { unsetenv("VANTREL_ZIP_THREADS"); }
};

int ThreadsOfThisProcess()
{
    int count = 0;
    for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

class ZipWriterTest : public ::testing::Test
{
protected:
    std::string P(const std::string& relative) const
    {
        return m_temp.path().toStdString() + '/' + relative;
    }

    // Files that are one block or less, of every kind the writer treats apart: empty, tiny,
    // text on either side of the probe's one-sample limit (192 KiB) and exactly one block,
    // random (stored) and a compressed format's signature, in nested and empty directories
    // with non-ASCII and non-UTF-8 names, an executable, times before 1980 and past 2038.
    void BuildSmallFileTree(const std::string& root) const
    {
        WriteFile(root + "/empty.txt", "");
        WriteFile(root + "/tiny.txt", "x");
        WriteFile(root + "/a/notes.md", TextBytes(5000, 1));
        WriteFile(root + "/a/b/c/sample-limit.txt", TextBytes(192 * 1024, 2));
        WriteFile(root + "/a/b/above-limit.txt", TextBytes(200 * 1024, 3));
        WriteFile(root + "/a/one-block.txt", TextBytes(kBlock, 4));
        WriteFile(root + "/random.bin", RandomBytes(100000, 5));
        WriteFile(root + "/random-tiny.bin", RandomBytes(10, 6));
        WriteFile(root + "/photo.jpg", "\xFF\xD8\xFF\xE0" + TextBytes(30000, 7));
        WriteFile(root + "/Übergrößen/日本語 ファイル.txt", TextBytes(1234, 8));
        WriteFile(root + "/latin1-\xE9t\xE9.txt", TextBytes(777, 9));
        WriteFile(root + "/run.sh", "#!/bin/sh\necho hi\n");
        chmod((root + "/run.sh").c_str(), 0755);
        MakeDirs(root + "/empty dir/inner");
        for (int i = 0; i < 40; ++i)
            WriteFile(root + "/many/" + std::to_string(i),
                      TextBytes(static_cast<std::size_t>(i) * 97, i));
        time_t stamp = 1600000000;
        for (const auto& item : fs::recursive_directory_iterator(root))
            if (item.is_regular_file())
                SetMtime(item.path().string(), stamp += 3601);
        SetMtime(root + "/tiny.txt", 300000000); // 1979
        SetMtime(root + "/run.sh", 4102444800);  // 2100
    }

    // Adds what only the block path sees: a compressible file of many blocks (not a multiple
    // of the block size) and a large stored one.
    void AddLargeFiles(const std::string& root) const
    {
        WriteFile(root + "/big/log.txt", TextBytes(9 * kBlock + 12345, 10));
        WriteFile(root + "/big/random.bin", RandomBytes(5 * kBlock + 3, 11));
        WriteFile(root + "/big/two-blocks.txt", TextBytes(2 * kBlock, 12));
    }

    static int ZipTree(const std::string& root, const std::string& archive)
    {
        std::uint32_t progress = 0, cancel = 0;
        return OrvakZipFolderRecursive(archive.c_str(), root.c_str(), &progress, &cancel);
    }

    static int ZipFile(const std::string& file, const std::string& archive)
    {
        std::uint32_t progress = 0, unused = 0, cancel = 0;
        return OrvakZipSingleFile(archive.c_str(), file.c_str(), &progress, &unused, &cancel);
    }

    // Readers other than the component's own, where this machine has them.
    static void CheckWithOtherReaders(const std::string& archive)
    {
        if (!QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty()) {
            QProcess unzip;
            unzip.start(QStringLiteral("unzip"),
                        {QStringLiteral("-tqq"), QString::fromStdString(archive)});
            ASSERT_TRUE(unzip.waitForFinished(120000));
            EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
        }
        if (!QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty()) {
            QProcess python;
            python.start(QStringLiteral("python3"),
                         {QStringLiteral("-c"),
                          QStringLiteral("import sys, zipfile\n"
                                         "bad = zipfile.ZipFile(sys.argv[1]).testzip()\n"
                                         "sys.exit(1 if bad else 0)\n"),
                          QString::fromStdString(archive)});
            ASSERT_TRUE(python.waitForFinished(120000));
            EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        }
    }

    // Both extractions give the source back; the streaming one does not fall back.
    void CheckExtractions(const std::string& archive, const std::string& root,
                          const std::string& label)
    {
        const auto source = Snapshot(root);
        std::uint32_t progress = 0, cancel = 0;
        const std::string ordinary = P("out-" + label);
        ASSERT_EQ(OrvakUnzipAllFolder(archive.c_str(), ordinary.c_str(), &progress, &cancel),
                  ZB_OK);
        EXPECT_TRUE(Snapshot(ordinary) == source);

        const std::string streamed = P("streamed-" + label);
        MakeDirs(streamed);
        std::uint64_t arrived = fs::file_size(archive);
        std::uint32_t complete = 1;
        progress = 0;
        ASSERT_EQ(ZipBridgeUnzipAllFolderStreaming(archive.c_str(), streamed.c_str(), &progress,
                                                   &cancel, ~0ull, &arrived, &complete),
                  ZB_OK);
        EXPECT_TRUE(Snapshot(streamed) == source);
    }

    // A name that is not UTF-8 is beyond the temporary folder's own clean-up.
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_temp.path().toStdString(), ignored);
    }

    TempFolder m_temp;
};

TEST_F(ZipWriterTest, ArchivesOfOneStreamFilesAreThoseOfTheLibarchiveWriter)
{
    BuildSmallFileTree(P("src"));
    // Stored files are copied as they are, so their blocks change nothing.
    WriteFile(P("src/big/random.bin"), RandomBytes(5 * kBlock + 3, 11));
    ASSERT_EQ(ReferenceBuilder::ZipTree(P("reference.zip"), P("src")), ZB_OK);
    const std::string reference = ReadFile(P("reference.zip"));
    for (const int threads : {1, 2, 8}) {
        SCOPED_TRACE(threads);
        const ZipThreads fixed(threads);
        const std::string archive = P("tree-" + std::to_string(threads) + ".zip");
        ASSERT_EQ(ZipTree(P("src"), archive), ZB_OK);
        EXPECT_TRUE(ReadFile(archive) == reference);
    }

    // Single files, including the empty tree of none.
    MakeDirs(P("bare"));
    ASSERT_EQ(ReferenceBuilder::ZipTree(P("bare-reference.zip"), P("bare")), ZB_OK);
    ASSERT_EQ(ZipTree(P("bare"), P("bare.zip")), ZB_OK);
    EXPECT_TRUE(ReadFile(P("bare.zip")) == ReadFile(P("bare-reference.zip")));
    for (const char* file : {"empty.txt", "tiny.txt", "a/one-block.txt", "a/b/above-limit.txt",
                             "random.bin", "big/random.bin", "photo.jpg"}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(ReferenceBuilder::ZipFile(P("file-reference.zip"), P("src/") + file), ZB_OK);
        ASSERT_EQ(ZipFile(P("src/") + file, P("file.zip")), ZB_OK);
        EXPECT_TRUE(ReadFile(P("file.zip")) == ReadFile(P("file-reference.zip")));
    }
}

TEST_F(ZipWriterTest, ArchivesAreTheSameForAnyThreadCountAndEveryReaderAcceptsThem)
{
    BuildSmallFileTree(P("src"));
    AddLargeFiles(P("src"));
    std::string first;
    for (const int threads : {1, 2, 8}) {
        SCOPED_TRACE(threads);
        const ZipThreads fixed(threads);
        const std::string archive = P("tree-" + std::to_string(threads) + ".zip");
        ASSERT_EQ(ZipTree(P("src"), archive), ZB_OK);
        const std::string bytes = ReadFile(archive);
        if (first.empty())
            first = bytes;
        EXPECT_TRUE(bytes == first);
        // Twice with the same count: nothing depends on the timing either.
        ASSERT_EQ(ZipTree(P("src"), archive), ZB_OK);
        EXPECT_TRUE(ReadFile(archive) == first);
    }
    CheckExtractions(P("tree-1.zip"), P("src"), "tree");

    // The blocks of a deflated file cost next to nothing against one stream: each block is
    // primed with the data before it.
    for (const CentralEntry& entry : ReadCentralDirectory(P("tree-1.zip")))
        if (entry.name == "big/log.txt") {
            ASSERT_EQ(entry.method, 8);
            ASSERT_EQ(ReferenceBuilder::ZipFile(P("log-reference.zip"), P("src/big/log.txt")),
                      ZB_OK);
            const auto one = ReadCentralDirectory(P("log-reference.zip"));
            ASSERT_EQ(one.size(), 1u);
            EXPECT_LT(entry.compressedSize, one[0].compressedSize + one[0].compressedSize / 100);
        }

    // A single large file the same way, and its round trip.
    std::string single;
    for (const int threads : {1, 3}) {
        const ZipThreads fixed(threads);
        ASSERT_EQ(ZipFile(P("src/big/log.txt"), P("log.zip")), ZB_OK);
        if (single.empty())
            single = ReadFile(P("log.zip"));
        EXPECT_TRUE(ReadFile(P("log.zip")) == single) << threads;
    }
    std::uint32_t progress = 0, cancel = 0;
    ASSERT_EQ(OrvakUnzipSingleFile(P("log.zip").c_str(), P("log.out").c_str(), &progress, &cancel),
              ZB_OK);
    EXPECT_TRUE(ReadFile(P("log.out")) == ReadFile(P("src/big/log.txt")));

    // Last: under ThreadSanitizer, the threads' hand-overs in this process are no longer seen
    // once it has started a child process.
    CheckWithOtherReaders(P("tree-1.zip"));
    CheckWithOtherReaders(P("log.zip"));
}

TEST_F(ZipWriterTest, CancelAndAShrinkingSourceFailCleanlyWithNoThreadLeft)
{
    // Zeros read and deflate fast, so the runs are long only in bytes.
    const std::uint64_t size = 512ull << 20;
    WriteFile(P("src/a.txt"), TextBytes(5000, 1));
    WriteFile(P("src/zeros.bin"), "");
    ASSERT_EQ(truncate(P("src/zeros.bin").c_str(), static_cast<off_t>(size)), 0);
    // A thread made and joined first, so that helper threads a runtime starts with the
    // process's first thread (the thread sanitizer's) are already counted.
    std::thread([] {}).join();
    const int threadsBefore = ThreadsOfThisProcess();

    const auto run = [&](bool shrink, bool tree) {
        const ZipThreads fixed(4);
        std::uint32_t progress = 0, cancel = 0, unused = 0;
        std::atomic<bool> done{false};
        std::jthread meddler([&] {
            while (!done && std::atomic_ref<std::uint32_t>(progress).load() == 0)
                std::this_thread::yield();
            if (shrink)
                truncate(P("src/zeros.bin").c_str(), 1 << 20);
            else
                std::atomic_ref<std::uint32_t>(cancel).store(1);
        });
        const int result =
            tree ? OrvakZipFolderRecursive(P("out.zip").c_str(), P("src").c_str(), &progress,
                                           &cancel)
                 : OrvakZipSingleFile(P("out.zip").c_str(), P("src/zeros.bin").c_str(), &progress,
                                      &unused, &cancel);
        done = true;
        meddler.join();
        // Whatever the result, the call's threads are gone when it returns.
        EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
        EXPECT_LT(std::atomic_ref<std::uint32_t>(progress).load(), size);
        EXPECT_EQ(OpenHandlesTo(P("out.zip")), 0);
        EXPECT_EQ(unlink(P("out.zip").c_str()), 0);
        if (shrink) {
            EXPECT_EQ(truncate(P("src/zeros.bin").c_str(), static_cast<off_t>(size)), 0);
        }
        return result;
    };
    EXPECT_EQ(run(false, false), ZB_CANCELLED);
    EXPECT_EQ(run(false, true), ZB_CANCELLED);
    EXPECT_EQ(run(true, false), ZB_SOURCE_ERROR);
    EXPECT_EQ(run(true, true), ZB_SOURCE_ERROR);
}

} // namespace
} // namespace vantrel::test::zip
