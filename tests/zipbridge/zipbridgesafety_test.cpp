// Extraction of archives that may be hostile, damaged or larger than announced, and of
// destinations that cannot take the data.
#include "tests/support/smalldisk.h"
#include "tests/support/tempprofile.h"
#include "tests/zipbridge/zipfixtures.h"
#include "zipbridge/zipbridge.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace vantrel::test::zip {
namespace {

namespace fs = std::filesystem;

// Every case runs against the ordinary extraction and against the streaming one (given the
// complete archive, and followed by the ordinary one when it declines, as the receiver does).
class ZipBridgeSafetyTest : public ::testing::TestWithParam<bool>
{
protected:
    std::string P(const std::string& relative) const
    {
        return m_temp.path().toStdString() + '/' + relative;
    }

    int UnzipTree(const std::string& archive, const std::string& destination,
                  std::uint64_t limit = ~std::uint64_t{0})
    {
        std::uint32_t progress = 0, cancel = 0;
        if (GetParam()) {
            const std::uint64_t arrived = fs::exists(archive) ? fs::file_size(archive) : 0;
            const std::uint32_t complete = 1;
            const int streamed =
                ZipBridgeUnzipAllFolderStreaming(archive.c_str(), destination.c_str(), &progress,
                                                 &cancel, limit, &arrived, &complete);
            if (streamed != ZB_NOT_STREAMABLE)
                return streamed;
        }
        return ZipBridgeUnzipAllFolderBounded(archive.c_str(), destination.c_str(), &progress,
                                              &cancel, limit);
    }

    int UnzipFile(const std::string& archive, const std::string& destination,
                  std::uint64_t limit = ~std::uint64_t{0})
    {
        std::uint32_t progress = 0, cancel = 0;
        return ZipBridgeUnzipSingleFileBounded(archive.c_str(), destination.c_str(), &progress,
                                               &cancel, limit);
    }

    static bool HasLinks(const std::string& root)
    {
        for (auto it = fs::recursive_directory_iterator(root);
             it != fs::recursive_directory_iterator(); ++it)
            if (it->is_symlink())
                return true;
        return false;
    }

    static bool IsEmptyDir(const std::string& path) { return fs::is_empty(path); }

    TempFolder m_temp;
};

TEST_P(ZipBridgeSafetyTest, HostileEntriesAreRefusedAndTheRestIsExtracted)
{
    MakeDirs(P("work/dest"));
    MakeDirs(P("outside"));
    const std::string outside = P("outside");
    CraftArchive(P("hostile.zip"), {
                                       {"good/first.txt", 'f', "first"},
                                       {"../evil-parent.txt", 'f', "x"},
                                       {"good/../../evil-climb.txt", 'f', "x"},
                                       {outside + "/evil-absolute.txt", 'f', "x"},
                                       {"sub\\..\\..\\evil-backslash.txt", 'f', "x"},
                                       {"C:/evil-drive.txt", 'f', "x"},
                                       {"link", 'l', outside},
                                       {"link/through.txt", 'f', "x"},
                                       {"passwd-link", 'l', "/etc/passwd"},
                                       {"./good/./last.txt", 'f', "last"},
                                   });
    EXPECT_EQ(UnzipTree(P("hostile.zip"), P("work/dest")), ZB_UNSAFE_ENTRIES);

    EXPECT_EQ(ReadFile(P("work/dest/good/first.txt")), "first");
    EXPECT_EQ(ReadFile(P("work/dest/good/last.txt")), "last");
    EXPECT_TRUE(IsEmptyDir(outside));
    EXPECT_FALSE(fs::exists(P("work/evil-parent.txt")));
    EXPECT_FALSE(fs::exists(P("evil-climb.txt")));
    EXPECT_FALSE(HasLinks(P("work/dest")));
    // No refused entry turned up under another name inside the destination either.
    for (const auto& [name, node] : Snapshot(P("work/dest")))
        EXPECT_EQ(name.find("evil"), std::string::npos) << name;
    // Whatever was made of "link/through.txt" stays below the destination.
    EXPECT_EQ(std::vector<std::string>({"work"}), [&] {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(P("")))
            if (item.path().filename() != "hostile.zip" && item.path().filename() != "outside")
                names.push_back(item.path().filename().string());
        return names;
    }());
}

TEST_P(ZipBridgeSafetyTest, LinksAlreadyInTheDestinationAreNotWrittenThrough)
{
    MakeDirs(P("dest"));
    MakeDirs(P("outside"));
    WriteFile(P("outside/victim.txt"), "untouched");
    ASSERT_EQ(symlink(P("outside").c_str(), P("dest/pre").c_str()), 0);
    ASSERT_EQ(symlink(P("outside/victim.txt").c_str(), P("dest/victim.txt").c_str()), 0);
    CraftArchive(P("a.zip"),
                 {{"pre/x.txt", 'f', "x"}, {"victim.txt", 'f', "new"}, {"ok.txt", 'f', "ok"}});

    EXPECT_EQ(UnzipTree(P("a.zip"), P("dest")), ZB_UNSAFE_ENTRIES);
    EXPECT_EQ(ReadFile(P("dest/ok.txt")), "ok");
    EXPECT_FALSE(fs::exists(P("outside/x.txt")));
    EXPECT_EQ(ReadFile(P("outside/victim.txt")), "untouched");
    // A link in place of a file is replaced, never followed.
    EXPECT_FALSE(fs::is_symlink(P("dest/victim.txt")));
    EXPECT_EQ(ReadFile(P("dest/victim.txt")), "new");
}

TEST_P(ZipBridgeSafetyTest, WhatAlreadyStandsInAnEntrysPlaceIsReplacedOnlyWhenNothingIsLost)
{
    // Each case starts from old.txt, an empty folder and a folder holding keep.txt.
    const Node folder{'d', {}};
    const auto file = [](const char* content) { return Node{'f', content}; };
    const std::map<std::string, Node> before = {{"old.txt", file("old")},
                                                {"empty", folder},
                                                {"full", folder},
                                                {"full/keep.txt", file("keep")}};
    const auto with = [&](std::map<std::string, Node> changes, const char* removed = nullptr) {
        std::map<std::string, Node> after = before;
        if (removed)
            after.erase(removed);
        for (auto& [name, node] : changes)
            after[name] = node;
        return after;
    };
    struct Case
    {
        const char* what;
        std::vector<CraftEntry> entries;
        int result;
        std::map<std::string, Node> after;
    };
    const std::vector<Case> cases = {
        {"a file is overwritten",
         {{"old.txt", 'f', "new"}},
         ZB_OK,
         with({{"old.txt", file("new")}})},
        {"an empty folder gives way to a file",
         {{"empty", 'f', "file"}},
         ZB_OK,
         with({{"empty", file("file")}})},
        {"a folder with contents stays",
         {{"full", 'f', "file"}, {"after.txt", 'f', "after"}},
         ZB_UNSAFE_ENTRIES,
         with({{"after.txt", file("after")}})},
        {"a file where a folder is needed stays",
         {{"old.txt/inner.txt", 'f', "inner"}, {"old.txt/sub/", 'd', ""}},
         ZB_UNSAFE_ENTRIES,
         before},
        {"a folder entry replaces a file",
         {{"old.txt/", 'd', ""}, {"old.txt/inner.txt", 'f', "inner"}},
         ZB_OK,
         with({{"old.txt", folder}, {"old.txt/inner.txt", file("inner")}})},
        {"an existing folder takes the entries",
         {{"full/", 'd', ""}, {"full/more.txt", 'f', "more"}},
         ZB_OK,
         with({{"full/more.txt", file("more")}})},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dest = P("dest" + std::to_string(n));
        const std::string archive = P("a" + std::to_string(n++) + ".zip");
        MakeDirs(dest + "/empty");
        MakeDirs(dest + "/full");
        WriteFile(dest + "/full/keep.txt", "keep");
        WriteFile(dest + "/old.txt", "old");
        CraftArchive(archive, c.entries);
        EXPECT_EQ(UnzipTree(archive, dest), c.result);
        std::map<std::string, Node> found = Snapshot(dest);
        for (auto& [name, node] : found)
            node.mtime = 0, node.executable = false;
        EXPECT_EQ(found, c.after);
    }
}

TEST_P(ZipBridgeSafetyTest, SingleFileGoesToExactlyTheDestinationWhateverItsName)
{
    MakeDirs(P("out"));
    WriteFile(P("victim.txt"), "untouched");
    ASSERT_EQ(symlink(P("victim.txt").c_str(), P("out/through-link.bin").c_str()), 0);

    const struct
    {
        const char* label;
        std::vector<CraftEntry> entries;
        const char* destination;
        int result;
        const char* content; // expected at the destination; nullptr: nothing there
    } cases[] = {
        {"climbing name",
         {{"../../weird/name.txt", 'f', "payload"}},
         "out/plain.bin",
         ZB_OK,
         "payload"},
        {"folder entries around",
         {{"d/", 'd', ""}, {"d/inner.txt", 'f', "inner"}},
         "out/inner.bin",
         ZB_OK,
         "inner"},
        {"second file ignored",
         {{"one.txt", 'f', "one"}, {"two.txt", 'f', "two"}},
         "out/first.bin",
         ZB_UNSAFE_ENTRIES,
         "one"},
        {"only a link", {{"l", 'l', "/etc/passwd"}}, "out/link.bin", ZB_ARCHIVE_ERROR, nullptr},
        {"destination is a link",
         {{"f.txt", 'f', "fresh"}},
         "out/through-link.bin",
         ZB_OK,
         "fresh"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string archive = P(std::string(c.label) + ".zip");
        CraftArchive(archive, c.entries);
        EXPECT_EQ(UnzipFile(archive, P(c.destination)), c.result);
        if (c.content) {
            EXPECT_FALSE(fs::is_symlink(P(c.destination)));
            EXPECT_EQ(ReadFile(P(c.destination)), c.content);
        } else {
            EXPECT_FALSE(fs::exists(fs::symlink_status(P(c.destination))));
        }
    }
    EXPECT_EQ(ReadFile(P("victim.txt")), "untouched");
    EXPECT_FALSE(fs::exists(P("weird")));
    EXPECT_FALSE(fs::exists(P("out/d")));
}

TEST_P(ZipBridgeSafetyTest, BoundedExtractionPastItsLimitRemovesWhatItWrote)
{
    const std::string payload = RandomBytes(100000, 5);
    CraftArchive(P("tree.zip"), {{"a/", 'd', ""},
                                 {"a/one.bin", 'f', payload},
                                 {"a/b/c/two.bin", 'f', payload},
                                 {"a/b/three.bin", 'f', payload}});
    CraftArchive(P("file.zip"), {{"f.bin", 'f', payload}});

    const struct
    {
        const char* label;
        bool tree;
        std::uint64_t limit;
        int result;
    } cases[] = {
        {"tree past limit", true, 150000, ZB_LIMIT_EXCEEDED},
        {"tree at limit", true, 300000, ZB_OK},
        {"file past limit", false, 99999, ZB_LIMIT_EXCEEDED},
        {"file at limit", false, 100000, ZB_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string dest = P(std::string("dest ") + c.label);
        MakeDirs(dest);
        WriteFile(dest + "/keep.txt", "mine");
        const int result = c.tree ? UnzipTree(P("tree.zip"), dest, c.limit)
                                  : UnzipFile(P("file.zip"), dest + "/f.bin", c.limit);
        EXPECT_EQ(result, c.result);
        const auto left = Snapshot(dest);
        if (c.result == ZB_OK) {
            EXPECT_EQ(left.size(), c.tree ? 7u : 2u);
        } else {
            ASSERT_EQ(left.size(), 1u);
            EXPECT_EQ(left.begin()->first, "keep.txt");
        }
    }
}

TEST_P(ZipBridgeSafetyTest, DamagedArchivesAreReported)
{
    const std::string text = TextBytes(500000, 4);
    CraftArchive(P("good.zip"), {{"t.txt", 'f', text}});
    const std::string good = ReadFile(P("good.zip"));
    std::string flipped = good;
    flipped[good.size() / 2] = static_cast<char>(flipped[good.size() / 2] ^ 0x55);

    const struct
    {
        const char* label;
        std::string bytes;
    } cases[] = {
        {"not a zip", "this is not an archive at all, just text"},
        {"truncated", good.substr(0, good.size() / 2)},
        {"flipped data", flipped},
        {"empty file", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string archive = P(std::string(c.label) + ".zip");
        WriteFile(archive, c.bytes);
        EXPECT_EQ(UnzipFile(archive, P(std::string(c.label) + ".out")), ZB_ARCHIVE_ERROR);
        EXPECT_EQ(UnzipTree(archive, P(std::string(c.label) + " dir")), ZB_ARCHIVE_ERROR);
    }
    EXPECT_EQ(UnzipTree(P("missing.zip"), P("missing dir")), ZB_ARCHIVE_ERROR);
}

TEST_P(ZipBridgeSafetyTest, EntriesWhoseDataAndHeadersDisagreeFailAndLeaveNothing)
{
    const std::string text = TextBytes(100000, 8);
    const RawEntry stored = StoredEntry("lie.txt", "eleven byte");
    const RawEntry deflated = DeflatedEntry("lie.txt", text);
    const auto with = [](RawEntry entry, const auto& change) {
        change(entry);
        return entry;
    };
    constexpr std::uint64_t kNone = ~std::uint64_t{0};
    constexpr std::uint32_t k4MiB = 4u << 20;
    const RawEntry empty4MiB{"lie.txt", 0, Crc32(""), 0, k4MiB, ""};

    const struct
    {
        const char* label;
        RawEntry entry;
        std::uint64_t limit;
        int result;
    } cases[] = {
        {"stored, honest", stored, kNone, ZB_OK},
        {"deflated, honest", deflated, kNone, ZB_OK},
        {"stored, declares more than its data", with(stored, [](RawEntry& e) { e.size = 4096; }),
         kNone, ZB_ARCHIVE_ERROR},
        {"stored, declares less than its data", with(stored, [](RawEntry& e) { e.size = 5; }),
         kNone, ZB_ARCHIVE_ERROR},
        {"stored, wrong CRC", with(stored, [](RawEntry& e) { e.crc ^= 1; }), kNone,
         ZB_ARCHIVE_ERROR},
        {"deflated, wrong CRC", with(deflated, [](RawEntry& e) { e.crc ^= 1; }), kNone,
         ZB_ARCHIVE_ERROR},
        {"stored, empty, declares 4 MiB", empty4MiB, kNone, ZB_ARCHIVE_ERROR},
        {"stored, empty, declares 4 MiB, past the limit", empty4MiB, 1 << 20, ZB_LIMIT_EXCEEDED},
        {"deflated, declares more than its stream",
         with(deflated, [&](RawEntry& e) { e.size = k4MiB; }), kNone, ZB_ARCHIVE_ERROR},
        {"deflated, declares more than its stream, past the limit",
         with(deflated, [&](RawEntry& e) { e.size = k4MiB; }), 1 << 20, ZB_LIMIT_EXCEEDED},
        {"deflated, stream longer than declared",
         with(deflated, [](RawEntry& e) { e.size = 1000; }), kNone, ZB_ARCHIVE_ERROR},
        {"deflated, stream longer than declared, past the limit",
         with(deflated, [](RawEntry& e) { e.size = 1000; }), 50000, ZB_LIMIT_EXCEEDED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string content = c.entry.method == 0 ? stored.data : text;
        const std::string label = c.label;
        // An honest entry first: a failure must take it away too.
        WriteRawZip(P(label + ".zip"), {StoredEntry("first/ok.txt", "ok"), c.entry});
        WriteRawZip(P(label + " alone.zip"), {c.entry});

        const std::string dest = P(label + " dir");
        MakeDirs(dest);
        WriteFile(dest + "/keep.txt", "mine");
        EXPECT_EQ(UnzipTree(P(label + ".zip"), dest, c.limit), c.result);
        const std::string file = P(label + ".out");
        EXPECT_EQ(UnzipFile(P(label + " alone.zip"), file, c.limit), c.result);

        const auto left = Snapshot(dest);
        if (c.result == ZB_OK) {
            EXPECT_EQ(left.size(), 4u);
            EXPECT_EQ(ReadFile(dest + "/lie.txt"), content);
            EXPECT_EQ(ReadFile(file), content);
        } else {
            EXPECT_EQ(left.size(), 1u);
            EXPECT_TRUE(left.count("keep.txt"));
            EXPECT_FALSE(fs::exists(file));
        }
    }
}

// Found by fuzzing: a local header may disagree with the central directory, which holds the
// entry's true CRC and sizes. The entry fails like any other whose headers and data disagree,
// and nothing it claimed is left behind, whatever the limit.
TEST_P(ZipBridgeSafetyTest, AnEntryWhoseLocalHeaderDisagreesWithTheDirectoryLeavesNothing)
{
    const std::string text = TextBytes(100000, 9);
    const RawEntry entry = DeflatedEntry("lie.txt", text);
    const RawEntry first = StoredEntry("first/ok.txt", "ok");
    constexpr std::uint64_t kNone = ~std::uint64_t{0};
    // Fields of the second local header, which follows the first entry's header and data.
    const std::size_t local = 30 + first.name.size() + first.data.size();
    constexpr std::size_t kCrc = 14;
    constexpr std::size_t kSize = 22;
    const struct
    {
        const char* label;
        std::size_t field;
        std::uint32_t value;
        std::uint64_t limit;
    } cases[] = {
        {"local CRC differs", kCrc, entry.crc ^ 0x00FF0000u, kNone},
        {"local CRC differs, limit below the size", kCrc, entry.crc ^ 0x00FF0000u, 64},
        {"local header declares more", kSize, 4u << 20, kNone},
        {"local header declares more, past the limit", kSize, 4u << 20, 1 << 20},
        {"local header declares less", kSize, 1000, kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string label = c.label;
        const std::string archive = P(label + ".zip");
        WriteRawZip(archive, {first, entry});
        std::string zip = ReadFile(archive);
        ASSERT_EQ(zip.compare(local, 4, "PK\x03\x04"), 0);
        for (int i = 0; i < 4; ++i)
            zip[local + c.field + i] = static_cast<char>(c.value >> (8 * i));
        WriteFile(archive, zip);

        const std::string dest = P(label + " dir");
        MakeDirs(dest);
        WriteFile(dest + "/keep.txt", "mine");
        const int result = UnzipTree(archive, dest, c.limit);
        EXPECT_TRUE(result == ZB_ARCHIVE_ERROR || result == ZB_LIMIT_EXCEEDED) << result;
        const auto left = Snapshot(dest);
        EXPECT_EQ(left.size(), 1u);
        EXPECT_TRUE(left.count("keep.txt"));
    }
}

TEST_P(ZipBridgeSafetyTest, AFullDiskIsReportedOnBothSides)
{
    // The tool's process may write no file beyond 1 MiB, as if the disk were full.
    WriteFile(P("src/big.bin"), RandomBytes(4 << 20, 21));
    CraftArchive(P("big.zip"), {{"big.bin", 'f', RandomBytes(4 << 20, 22)}});
    MakeDirs(P("dest"));
    const auto run = [](const QStringList& arguments) {
        QProcess tool;
        tool.start(QStringLiteral(ZIPBRIDGE_TOOL),
                   QStringList{QStringLiteral("--fsize-limit"), QStringLiteral("1048576")} +
                       arguments);
        return tool.waitForFinished(120000) ? tool.exitCode() : -1;
    };
    const auto q = [](const std::string& s) { return QString::fromStdString(s); };
    EXPECT_EQ(run({QStringLiteral("zipfile"), q(P("src/big.bin")), q(P("big-out.zip"))}),
              ZB_ARCHIVE_ERROR);
    EXPECT_EQ(run({QStringLiteral("unzip"), q(P("big.zip")), q(P("dest"))}), ZB_DESTINATION_ERROR);
    EXPECT_EQ(run({QStringLiteral("unzipfile"), q(P("big.zip")), q(P("dest/one.bin"))}),
              ZB_DESTINATION_ERROR);
}

// A real full disk, in the calling process: an extraction that runs out of room takes back
// what it wrote (a half tree must not pass for a result), and a full disk under the archive
// being made is told apart from a damaged one.
TEST_P(ZipBridgeSafetyTest, AFullDiskLeavesNothingHalfWritten)
{
    SmallDisk disk(QString::fromStdString(P("disk")), 2 << 20);
    if (!disk.ok())
        GTEST_SKIP() << "This machine cannot mount a small file system, so the full disk test "
                        "does not run: "
                     << disk.error().toStdString();
    const std::string payload = RandomBytes(1 << 20, 23);
    CraftArchive(P("tree.zip"), {{"a/", 'd', ""},
                                 {"a/one.bin", 'f', payload},
                                 {"a/b/two.bin", 'f', payload},
                                 {"a/b/c/three.bin", 'f', payload}});
    CraftArchive(P("file.zip"), {{"f.bin", 'f', payload + payload + payload}});
    WriteFile(P("src.bin"), payload + payload + payload);

    const std::string dest = P("disk/dest");
    MakeDirs(dest);
    WriteFile(dest + "/keep.txt", "mine");
    const std::uint64_t limit = 8 << 20;
    EXPECT_EQ(UnzipTree(P("tree.zip"), dest, limit), ZB_DESTINATION_ERROR);
    EXPECT_EQ(UnzipTree(P("tree.zip"), dest + "/new", limit), ZB_DESTINATION_ERROR);
    EXPECT_EQ(UnzipFile(P("file.zip"), dest + "/f.bin", limit), ZB_DESTINATION_ERROR);
    const auto left = Snapshot(dest);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left.begin()->first, "keep.txt");

    std::uint32_t progress = 0, unused = 0, cancel = 0;
    EXPECT_EQ(OrvakZipSingleFile(P("disk/out.zip").c_str(), P("src.bin").c_str(), &progress,
                                 &unused, &cancel),
              ZB_DESTINATION_ERROR);
}

INSTANTIATE_TEST_SUITE_P(Paths, ZipBridgeSafetyTest, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "Streaming" : "Ordinary"; });

} // namespace
} // namespace vantrel::test::zip
