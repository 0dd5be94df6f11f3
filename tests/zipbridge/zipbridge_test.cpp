// The compression component: round trips, counting, determinism, progress, cancel and the
// choice between storing and deflating.
#include "tests/support/tempprofile.h"
#include "tests/zipbridge/zipfixtures.h"
#include "zipbridge/zipbridge.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

namespace vantrel::test::zip {
namespace {

namespace fs = std::filesystem;

std::uint32_t Load(std::uint32_t& word)
{
    return std::atomic_ref<std::uint32_t>(word).load(std::memory_order_acquire);
}

class ZipBridgeTest : public ::testing::Test
{
protected:
    std::string P(const std::string& relative) const
    {
        return m_temp.path().toStdString() + '/' + relative;
    }

    // Text, random data, nested and empty folders, non-ASCII names, an executable and an
    // empty file, with fixed modification times.
    void BuildSampleTree(const std::string& root) const
    {
        WriteFile(root + "/readme.txt", TextBytes(5000, 1));
        WriteFile(root + "/data/random.bin", RandomBytes(300000, 2));
        WriteFile(root + "/data/nested/deeper/notes.md", TextBytes(70000, 3));
        MakeDirs(root + "/empty");
        MakeDirs(root + "/data/nested/empty too");
        WriteFile(root + "/Übergrößen/日本語 ファイル.txt", TextBytes(1234, 4));
        WriteFile(root + "/Übergrößen/émoji 🎉.bin", RandomBytes(10, 5));
        WriteFile(root + "/run.sh", "#!/bin/sh\necho hi\n");
        chmod((root + "/run.sh").c_str(), 0755);
        WriteFile(root + "/zero.dat", "");
        time_t stamp = 1600000000;
        for (const auto& item : fs::recursive_directory_iterator(root))
            if (item.is_regular_file())
                SetMtime(item.path().string(), stamp += 3600);
    }

    // Zips `root` and checks the operation's own promises: success, progress at the total.
    std::string ZipTree(const std::string& root, const std::string& archive) const
    {
        std::uint32_t total = 0, dirs = 0, files = 0;
        EXPECT_EQ(FolderProperties(root.c_str(), &total, &dirs, &files), ZB_OK);
        std::uint32_t progress = 0, cancel = 0;
        EXPECT_EQ(OrvakZipFolderRecursive(archive.c_str(), root.c_str(), &progress, &cancel),
                  ZB_OK);
        EXPECT_EQ(progress, total);
        return ReadFile(archive);
    }

    int RunTool(const QStringList& arguments, const QString& timeZone = QString(),
                const QString& locale = QString()) const
    {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!timeZone.isEmpty())
            environment.insert(QStringLiteral("TZ"), timeZone);
        if (!locale.isEmpty()) {
            environment.insert(QStringLiteral("LC_ALL"), locale);
            environment.insert(QStringLiteral("LANG"), locale);
        }
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(ZIPBRIDGE_TOOL), arguments);
        if (!tool.waitForFinished(120000))
            return -1;
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -2;
    }

    TempFolder m_temp;
};

TEST_F(ZipBridgeTest, SingleFileRoundTripRestoresBytesAndTimeUnderAnyName)
{
    const struct
    {
        const char* label;
        std::string content;
    } cases[] = {
        {"empty", std::string()},
        {"short text", "hello\n"},
        {"random", RandomBytes(1 << 20, 7)},
        {"text", TextBytes(3 << 20, 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string source = P(std::string("src/") + c.label + ".bin");
        const std::string archive = P(std::string(c.label) + ".zip");
        const std::string restored = P(std::string("out/") + c.label + " restored");
        WriteFile(source, c.content);
        SetMtime(source, 1500000000);
        MakeDirs(P("out"));

        std::uint32_t progress = 77, unused = 0, cancel = 0;
        ASSERT_EQ(OrvakZipSingleFile(archive.c_str(), source.c_str(), &progress, &unused, &cancel),
                  ZB_OK);
        EXPECT_EQ(progress, c.content.size());

        progress = 77;
        ASSERT_EQ(OrvakUnzipSingleFile(archive.c_str(), restored.c_str(), &progress, &cancel),
                  ZB_OK);
        EXPECT_EQ(progress, c.content.size());
        EXPECT_EQ(ReadFile(restored), c.content);
        struct stat st = {};
        ASSERT_EQ(stat(restored.c_str(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
    }

    // A file chosen through a link is archived under the link's name.
    ASSERT_EQ(symlink(P("src/text.bin").c_str(), P("chosen.txt").c_str()), 0);
    std::uint32_t progress = 0, unused = 0, cancel = 0;
    ASSERT_EQ(OrvakZipSingleFile(P("linked.zip").c_str(), P("chosen.txt").c_str(), &progress,
                                 &unused, &cancel),
              ZB_OK);
    const auto entries = ReadCentralDirectory(P("linked.zip"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "chosen.txt");
    EXPECT_EQ(entries[0].size, fs::file_size(P("src/text.bin")));
}

TEST_F(ZipBridgeTest, TreeRoundTripKeepsEmptyFoldersNonAsciiNamesModesAndContent)
{
    BuildSampleTree(P("src"));
    ZipTree(P("src"), P("tree.zip"));

    std::uint32_t progress = 0, cancel = 0;
    ASSERT_EQ(OrvakUnzipAllFolder(P("tree.zip").c_str(), P("dest").c_str(), &progress, &cancel),
              ZB_OK);
    const auto source = Snapshot(P("src"));
    const auto restored = Snapshot(P("dest"));
    EXPECT_EQ(restored, source);
    EXPECT_EQ(restored.count("data/nested/empty too"), 1u);
    EXPECT_EQ(restored.count("Übergrößen/日本語 ファイル.txt"), 1u);
    EXPECT_TRUE(restored.at("run.sh").executable);

    // Names are flagged as UTF-8 exactly when they are not plain ASCII.
    for (const CentralEntry& entry : ReadCentralDirectory(P("tree.zip"))) {
        const bool ascii = std::all_of(entry.name.begin(), entry.name.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        EXPECT_EQ((entry.flags & 0x800) != 0, !ascii) << entry.name;
    }
}

TEST_F(ZipBridgeTest, EmptyTreeRoundTripsToAnEmptyFolder)
{
    // An empty tree's archive holds no entries at all; it must still unpack.
    MakeDirs(P("src"));
    ZipTree(P("src"), P("empty.zip"));

    std::uint32_t progress = 0, cancel = 0;
    ASSERT_EQ(OrvakUnzipAllFolder(P("empty.zip").c_str(), P("dest").c_str(), &progress, &cancel),
              ZB_OK);
    EXPECT_TRUE(fs::is_directory(P("dest")));
    EXPECT_TRUE(fs::is_empty(P("dest")));
}

TEST_F(ZipBridgeTest, FolderPropertiesCountsWhatIsArchivedAndSkipsLinks)
{
    const std::string root = P("src");
    WriteFile(root + "/a.txt", std::string(10, 'a'));
    WriteFile(root + "/sub/b.bin", std::string(1000, 'b'));
    MakeDirs(root + "/sub/empty");
    MakeDirs(root + "/Ünïcode");
    ASSERT_EQ(symlink("a.txt", (root + "/link-to-file").c_str()), 0);
    ASSERT_EQ(symlink("sub", (root + "/link-to-dir").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (root + "/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((root + "/pipe").c_str(), 0600), 0);

    std::uint32_t total = 0, dirs = 0, files = 0;
    ASSERT_EQ(FolderProperties(root.c_str(), &total, &dirs, &files), ZB_OK);
    EXPECT_EQ(total, 1010u);
    EXPECT_EQ(dirs, 4u); // the root, sub, sub/empty, Ünïcode
    EXPECT_EQ(files, 2u);

    ZipTree(root, P("tree.zip"));
    std::vector<std::string> names;
    for (const CentralEntry& entry : ReadCentralDirectory(P("tree.zip")))
        names.push_back(entry.name);
    // Parents first, children in byte order of their names; no link, no pipe.
    const std::vector<std::string> expected = {"a.txt", "sub/", "sub/b.bin", "sub/empty/",
                                               "Ünïcode/"};
    EXPECT_EQ(names, expected);

    MakeDirs(P("bare"));
    ASSERT_EQ(FolderProperties(P("bare").c_str(), &total, &dirs, &files), ZB_OK);
    EXPECT_EQ(dirs, 1u);
    EXPECT_EQ(files, 0u);
    EXPECT_EQ(total, 0u);
    EXPECT_NE(FolderProperties((root + "/a.txt").c_str(), &total, &dirs, &files), ZB_OK);
    EXPECT_NE(FolderProperties(P("missing").c_str(), &total, &dirs, &files), ZB_OK);
}

TEST_F(ZipBridgeTest, FolderPropertiesSaturatesThe32BitTotal)
{
    const std::uint64_t three = 3ull << 30;
    for (const char* name : {"big1", "big2"}) {
        WriteFile(P(std::string("src/") + name), "");
        ASSERT_EQ(truncate(P(std::string("src/") + name).c_str(), static_cast<off_t>(three)), 0);
    }
    std::uint32_t total = 0, dirs = 0, files = 0;
    std::uint64_t total64 = 0;
    ASSERT_EQ(FolderProperties(P("src").c_str(), &total, &dirs, &files), ZB_OK);
    ASSERT_EQ(ZipBridgeFolderProperties64(P("src").c_str(), &total64, &dirs, &files), ZB_OK);
    EXPECT_EQ(total, 0xFFFFFFFFu);
    EXPECT_EQ(total64, 2 * three);
}

TEST_F(ZipBridgeTest, SameTreeGivesIdenticalArchivesInAnyTimeZoneAndLocale)
{
    BuildSampleTree(P("src"));
    // 2021-06-15 12:34:56 UTC.
    SetMtime(P("src/readme.txt"), 1623760496);
    const std::string first = ZipTree(P("src"), P("first.zip"));
    EXPECT_EQ(ZipTree(P("src"), P("second.zip")), first);

    const struct
    {
        const char* timeZone;
        const char* locale;
    } environments[] = {
        {"UTC0", "C"}, {"NPT-5:45", "C.UTF-8"}, {"EST5EDT,M3.2.0,M11.1.0", "POSIX"}};
    for (const auto& e : environments) {
        SCOPED_TRACE(e.timeZone);
        const std::string archive = P(std::string("tool-") + e.timeZone + ".zip");
        ASSERT_EQ(RunTool({QStringLiteral("zip"), QString::fromStdString(P("src")),
                           QString::fromStdString(archive)},
                          QString::fromLatin1(e.timeZone), QString::fromLatin1(e.locale)),
                  ZB_OK);
        EXPECT_TRUE(ReadFile(archive) == first);
    }

    // The DOS time fields carry UTC.
    bool found = false;
    for (const CentralEntry& entry : ReadCentralDirectory(P("first.zip")))
        if (entry.name == "readme.txt") {
            found = true;
            EXPECT_EQ(entry.dosTime, DosTimeOf(2021, 6, 15, 12, 34, 56));
        }
    EXPECT_TRUE(found);
}

TEST_F(ZipBridgeTest, ConcurrentOperationsGiveTheSameResultsAndKeepTheUmask)
{
    BuildSampleTree(P("src"));
    // Thousands of entries: libarchive's disk writer touches the process umask for each.
    for (int i = 0; i < 3000; ++i)
        WriteFile(P("src/many/" + std::to_string(i)), "");
    const mode_t umaskBefore = CurrentUmask();
    constexpr int kRuns = 6;
    const auto runAll = [&](const std::function<int(int)>& operation) {
        std::vector<int> results(kRuns, -1);
        std::vector<std::jthread> workers;
        for (int i = 0; i < kRuns; ++i)
            workers.emplace_back([&, i] { results[i] = operation(i); });
        workers.clear(); // joins
        return results;
    };
    const auto archive = [&](int i) { return P("a" + std::to_string(i) + ".zip"); };
    const auto out = [&](int i) { return P("out" + std::to_string(i)); };

    const auto zipped = runAll([&](int i) {
        std::uint32_t progress = 0, cancel = 0;
        return OrvakZipFolderRecursive(archive(i).c_str(), P("src").c_str(), &progress, &cancel);
    });
    const auto unzipped = runAll([&](int i) {
        std::uint32_t progress = 0, cancel = 0;
        return OrvakUnzipAllFolder(archive(i).c_str(), out(i).c_str(), &progress, &cancel);
    });
    const auto source = Snapshot(P("src"));
    for (int i = 0; i < kRuns; ++i) {
        EXPECT_EQ(zipped[i], ZB_OK);
        EXPECT_EQ(unzipped[i], ZB_OK);
        EXPECT_TRUE(ReadFile(archive(i)) == ReadFile(archive(0)));
        EXPECT_TRUE(Snapshot(out(i)) == source) << out(i);
    }
    EXPECT_EQ(CurrentUmask(), umaskBefore);
}

TEST_F(ZipBridgeTest, ProgressReachesTheTotalOnlyOnceTheArchiveIsComplete)
{
    // Many small files: closing the archive (its directory and header fixes) takes a while.
    WriteFile(P("src/large.bin"), RandomBytes(1 << 20, 99));
    for (int i = 0; i < 2000; ++i)
        WriteFile(P("src/small/" + std::to_string(i) + ".txt"), TextBytes(512, i));
    std::uint32_t total = 0, dirs = 0, files = 0;
    ASSERT_EQ(FolderProperties(P("src").c_str(), &total, &dirs, &files), ZB_OK);

    std::uint32_t progress = 0, cancel = 0;
    std::atomic<bool> done{false};
    int result = -1;
    std::jthread worker([&] {
        // The watcher below must see the counter change before the worker does much more,
        // even on a busy machine: the worker yields to it.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
        result =
            OrvakZipFolderRecursive(P("tree.zip").c_str(), P("src").c_str(), &progress, &cancel);
        done = true;
    });
    // The sender measures and opens the archive the moment the counter shows the total:
    // what it finds then must be the finished archive.
    std::uint32_t last = 0;
    int handlesAtTotal = -1;
    std::uintmax_t sizeAtTotal = 0;
    std::string seenAtTotal;
    for (;;) {
        const bool finished = done.load();
        const std::uint32_t now = Load(progress);
        ASSERT_GE(now, last);
        ASSERT_LE(now, total);
        last = now;
        if (now == total) {
            // Still open means still being written.
            handlesAtTotal = OpenHandlesTo(P("tree.zip"));
            sizeAtTotal = fs::file_size(P("tree.zip"));
            seenAtTotal = ReadFile(P("tree.zip"));
            break;
        }
        ASSERT_FALSE(finished) << "ended without reaching the total";
    }
    worker.join();
    EXPECT_EQ(result, ZB_OK);
    const std::string final = ReadFile(P("tree.zip"));
    EXPECT_EQ(handlesAtTotal, 0);
    EXPECT_EQ(sizeAtTotal, final.size());
    EXPECT_TRUE(seenAtTotal == final);
}

TEST_F(ZipBridgeTest, CancelReturnsPromptlyAndLeavesAnArchiveThatCanBeDeleted)
{
    // Zeros read and deflate fast, so the runs are long only in bytes.
    const std::uint64_t size = 256ull << 20;
    WriteFile(P("src/zeros.bin"), "");
    ASSERT_EQ(truncate(P("src/zeros.bin").c_str(), static_cast<off_t>(size)), 0);
    {
        std::uint32_t progress = 0, unused = 0, cancel = 0;
        ASSERT_EQ(OrvakZipSingleFile(P("zeros.zip").c_str(), P("src/zeros.bin").c_str(), &progress,
                                     &unused, &cancel),
                  ZB_OK);
    }

    using Operation = std::function<int(std::uint32_t*, std::uint32_t*)>;
    const struct
    {
        const char* label;
        std::string output;
        Operation run;
    } cases[] = {
        {"zip file", P("file.zip"),
         [&](std::uint32_t* progress, std::uint32_t* cancel) {
             std::uint32_t unused = 0;
             return OrvakZipSingleFile(P("file.zip").c_str(), P("src/zeros.bin").c_str(), progress,
                                       &unused, cancel);
         }},
        {"zip tree", P("tree.zip"),
         [&](std::uint32_t* progress, std::uint32_t* cancel) {
             return OrvakZipFolderRecursive(P("tree.zip").c_str(), P("src").c_str(), progress,
                                            cancel);
         }},
        {"unzip", P("unzipped.bin"),
         [&](std::uint32_t* progress, std::uint32_t* cancel) {
             return OrvakUnzipSingleFile(P("zeros.zip").c_str(), P("unzipped.bin").c_str(),
                                         progress, cancel);
         }},
    };
    for (const auto& c : cases) {
        for (const bool early : {true, false}) {
            SCOPED_TRACE(std::string(c.label) + (early ? ", cancelled before the start" : ""));
            std::uint32_t progress = 0, cancel = early ? 1 : 0;
            std::atomic<bool> done{false};
            std::jthread canceller([&] {
                while (!done && Load(progress) == 0)
                    std::this_thread::yield();
                std::atomic_ref<std::uint32_t>(cancel).store(1);
            });
            const int result = c.run(&progress, &cancel);
            done = true;
            canceller.join();
            EXPECT_EQ(result, ZB_CANCELLED);
            EXPECT_LT(progress, size);
            EXPECT_EQ(OpenHandlesTo(c.output), 0);
            if (fs::exists(c.output)) {
                EXPECT_EQ(unlink(c.output.c_str()), 0);
            }
        }
    }
}

TEST_F(ZipBridgeTest, DataThatDoesNotCompressIsStored)
{
    std::string jpegLike = "\xFF\xD8\xFF\xE0" + TextBytes(200000, 3);
    const struct
    {
        const char* label;
        std::string content;
        bool stored;
    } cases[] = {
        {"random", RandomBytes(2 << 20, 11), true},
        {"jpeg signature", jpegLike, true},
        {"text", TextBytes(2 << 20, 12), false},
        {"text then random", TextBytes(1 << 20, 13) + RandomBytes(64 << 10, 14), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string source = P(std::string("src/") + c.label);
        const std::string archive = P(std::string(c.label) + ".zip");
        WriteFile(source, c.content);
        std::uint32_t progress = 0, unused = 0, cancel = 0;
        ASSERT_EQ(OrvakZipSingleFile(archive.c_str(), source.c_str(), &progress, &unused, &cancel),
                  ZB_OK);
        const auto entries = ReadCentralDirectory(archive);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].method, c.stored ? 0 : 8);
        if (c.stored) {
            EXPECT_EQ(entries[0].compressedSize, c.content.size());
            EXPECT_LT(fs::file_size(archive), c.content.size() + 200);
        } else {
            EXPECT_LT(entries[0].compressedSize, c.content.size() / 2);
        }
    }
}

} // namespace
} // namespace vantrel::test::zip
