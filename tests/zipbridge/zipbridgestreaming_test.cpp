// The extraction of a tree while its archive is still being written: the same result as the
// ordinary extraction of the complete archive, and nothing left whenever the archive cannot be
// trusted that way.
#include "tests/support/tempprofile.h"
#include "tests/zipbridge/zipfixtures.h"
#include "zipbridge/zipbridge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace vantrel::test::zip {
namespace {

namespace fs = std::filesystem;

class ZipBridgeStreamingTest : public ::testing::Test
{
protected:
    std::string P(const std::string& relative) const
    {
        return m_temp.path().toStdString() + '/' + relative;
    }

    // Writes `bytes` to `archive` in small pieces, publishing each as a receive loop would,
    // while the streaming extraction runs on this thread.
    int StreamInPieces(const std::string& bytes, const std::string& archive,
                       const std::string& destination, std::uint64_t limit = ~0ull)
    {
        WriteFile(archive, "");
        std::uint64_t arrived = 0;
        std::uint32_t complete = 0, progress = 0, cancel = 0;
        std::thread writer([&] {
            FILE* f = std::fopen(archive.c_str(), "wb");
            for (std::size_t at = 0; at < bytes.size(); at += 7919) {
                const std::size_t n = std::min<std::size_t>(7919, bytes.size() - at);
                std::fwrite(bytes.data() + at, 1, n, f);
                std::fflush(f);
                std::atomic_ref<std::uint64_t>(arrived).store(at + n, std::memory_order_release);
                if (at % (7919 * 16) == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::fclose(f);
            std::atomic_ref<std::uint32_t>(complete).store(1, std::memory_order_release);
        });
        const int result = ZipBridgeUnzipAllFolderStreaming(
            archive.c_str(), destination.c_str(), &progress, &cancel, limit, &arrived, &complete);
        writer.join();
        return result;
    }

    int UnzipOrdinary(const std::string& archive, const std::string& destination)
    {
        std::uint32_t progress = 0, cancel = 0;
        return ZipBridgeUnzipAllFolderBounded(archive.c_str(), destination.c_str(), &progress,
                                              &cancel, ~0ull);
    }

    TempFolder m_temp;
};

// The archive the sending copy writes (deflated text, stored random bytes, an executable,
// empty files and folders), followed as it grows.
TEST_F(ZipBridgeStreamingTest, TheSendersArchiveComesOutAsTheOrdinaryExtractionMakesIt)
{
    MakeDirs(P("src/tree/a/b/empty"));
    WriteFile(P("src/tree/a/notes.txt"), TextBytes(300000, 1));
    WriteFile(P("src/tree/a/b/noise.bin"), RandomBytes(500000, 2));
    WriteFile(P("src/tree/run.sh"), "#!/bin/sh\n");
    WriteFile(P("src/tree/a/b/zero"), "");
    chmod(P("src/tree/run.sh").c_str(), 0750);
    SetMtime(P("src/tree/a/notes.txt"), 1400000000);
    std::uint32_t progress = 0, cancel = 0;
    ASSERT_EQ(
        OrvakZipFolderRecursive(P("made.zip").c_str(), P("src/tree").c_str(), &progress, &cancel),
        ZB_OK);
    const std::string bytes = ReadFile(P("made.zip"));

    ASSERT_EQ(StreamInPieces(bytes, P("growing.zip"), P("streamed")), ZB_OK);
    ASSERT_EQ(UnzipOrdinary(P("made.zip"), P("ordinary")), ZB_OK);
    EXPECT_EQ(Snapshot(P("streamed")), Snapshot(P("ordinary")));
    EXPECT_EQ(Snapshot(P("streamed")).size(), Snapshot(P("src/tree")).size());
    struct stat streamed = {}, ordinary = {};
    ASSERT_EQ(stat(P("streamed/run.sh").c_str(), &streamed), 0);
    ASSERT_EQ(stat(P("ordinary/run.sh").c_str(), &ordinary), 0);
    EXPECT_EQ(streamed.st_mode, ordinary.st_mode);
}

// Archives whose central directory tells another story than their local headers: the
// streaming pass declines and leaves nothing, so that the ordinary extraction decides.
struct Disagreement
{
    const char* name;
    std::function<void(std::string& archive, std::size_t central)> apply;
};

// Where the central directory's entry after the one at `at` begins.
std::size_t NextCentral(const std::string& a, std::size_t at)
{
    const auto u16 = [&](std::size_t i) {
        return static_cast<unsigned char>(a[i]) | (static_cast<unsigned char>(a[i + 1]) << 8);
    };
    return at + 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
}

// The first block of the extra field of the central directory's entry at `at` claims one byte
// more than the field holds.
void OverflowFirstExtraBlock(std::string& a, std::size_t at)
{
    const auto u16 = [&](std::size_t i) {
        return static_cast<unsigned char>(a[i]) | (static_cast<unsigned char>(a[i + 1]) << 8);
    };
    const std::size_t extraLength = u16(at + 30);
    ASSERT_GE(extraLength, 4u) << "the writer gives its entries extra fields";
    const std::size_t size = at + 46 + u16(at + 28) + 2;
    a[size] = static_cast<char>((extraLength - 3) & 0xFF);
    a[size + 1] = static_cast<char>((extraLength - 3) >> 8);
}

class StreamingDisagreement : public ZipBridgeStreamingTest,
                              public ::testing::WithParamInterface<Disagreement>
{
};

TEST_P(StreamingDisagreement, DeclinesAndLeavesNothing)
{
    CraftArchive(P("made.zip"), {{"a/", 'd', ""},
                                 {"a/one.txt", 'f', TextBytes(5000, 3)},
                                 {"two.bin", 'f', RandomBytes(3000, 4)}});
    std::string bytes = ReadFile(P("made.zip"));
    const auto* end = reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size() - 22);
    const std::size_t central = end[16] | (end[17] << 8) | (end[18] << 16) | (end[19] << 24);
    GetParam().apply(bytes, central);
    EXPECT_EQ(StreamInPieces(bytes, P("growing.zip"), P("out/dest")), ZB_NOT_STREAMABLE);
    EXPECT_FALSE(fs::exists(P("out"))) << "the call made it, and took it back";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StreamingDisagreement,
    ::testing::Values(
        // The CRC of the first file (after the folder "a/"), as the directory gives it.
        Disagreement{"CentralCrc",
                     [](std::string& a, std::size_t cd) { a[NextCentral(a, cd) + 16] ^= 1; }},
        // Its name's last letter (the folder "a/" becomes "a0").
        Disagreement{"CentralName", [](std::string& a, std::size_t cd) { a[cd + 47] = '0'; }},
        // Its type: made on an MS-DOS system, whose permissions mean something else.
        Disagreement{"CentralHost", [](std::string& a, std::size_t cd) { a[cd + 5] = 0; }},
        // Where the directory says the first file's local header is: on the folder's, and
        // one byte before its own (the ordinary extraction would read something else there).
        Disagreement{"CentralLocalOffsetElsewhere",
                     [](std::string& a, std::size_t cd) {
                         for (std::size_t i = 0; i < 4; ++i)
                             a[NextCentral(a, cd) + 42 + i] = 0;
                     }},
        Disagreement{"CentralLocalOffsetOffByOne",
                     [](std::string& a, std::size_t cd) { a[NextCentral(a, cd) + 42] -= 1; }},
        // An extra field the ordinary extraction refuses to read.
        Disagreement{"CentralExtraOverflows", OverflowFirstExtraBlock},
        // One entry fewer announced than there are.
        Disagreement{"CentralCount",
                     [](std::string& a, std::size_t) {
                         a[a.size() - 22 + 8] -= 1;
                         a[a.size() - 22 + 10] -= 1;
                     }}),
    [](const auto& param) { return std::string(param.param.name); });

// An archive that stops growing and never completes: a cancel ends the wait promptly and takes
// back what was written.
TEST_F(ZipBridgeStreamingTest, ACancelEndsTheWaitForMoreAndLeavesNothing)
{
    CraftArchive(P("made.zip"), {{"one.bin", 'f', RandomBytes(200000, 5)},
                                 {"two.bin", 'f', RandomBytes(200000, 6)}});
    const std::string bytes = ReadFile(P("made.zip"));
    WriteFile(P("growing.zip"), bytes.substr(0, 300000));
    const std::uint64_t arrived = 300000;
    const std::uint32_t complete = 0;
    std::uint32_t progress = 0, cancel = 0;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::atomic_ref<std::uint32_t>(cancel).store(1);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ZipBridgeUnzipAllFolderStreaming(P("growing.zip").c_str(), P("dest").c_str(),
                                               &progress, &cancel, ~0ull, &arrived, &complete),
              ZB_CANCELLED);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(fs::exists(P("dest/two.bin")));
}

} // namespace
} // namespace vantrel::test::zip
