// A stored single file's archive produced on the fly: the same bytes as the written archive,
// from any starting offset, and no archive at all when the file changes its size meanwhile.
#include "tests/support/tempprofile.h"
#include "tests/zipbridge/zipfixtures.h"
#include "zipbridge/zipbridge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace vantrel::test::zip {
namespace {

struct StreamCloser
{
    void operator()(ZipBridgeStoredStream* stream) const { ZipBridgeCloseStoredStream(stream); }
};
using StreamHandle = std::unique_ptr<ZipBridgeStoredStream, StreamCloser>;

StreamHandle OpenStream(const std::string& path, std::uint64_t* size = nullptr)
{
    ZipBridgeStoredStream* stream = nullptr;
    std::uint64_t archiveSize = 0;
    EXPECT_EQ(ZipBridgeOpenStoredStream(path.c_str(), &stream, &archiveSize), ZB_OK);
    if (size)
        *size = archiveSize;
    return StreamHandle(stream);
}

// Everything from `offset` to the end, in reads of `block` bytes; empty on a failed read.
std::string ReadFrom(ZipBridgeStoredStream* stream, std::uint64_t offset, std::uint32_t block,
                     int* result = nullptr)
{
    std::string out;
    std::string buffer(block, '\0');
    for (;;) {
        std::uint32_t got = 0;
        const int rc =
            ZipBridgeReadStoredStream(stream, offset + out.size(), buffer.data(), block, &got);
        if (result)
            *result = rc;
        if (rc != ZB_OK)
            return {};
        if (got == 0)
            return out;
        out.append(buffer.data(), got);
    }
}

class StoredStreamTest : public ::testing::Test
{
protected:
    std::string P(const std::string& relative) const
    {
        return m_temp.path().toStdString() + '/' + relative;
    }

    std::string Written(const std::string& source) const
    {
        std::uint32_t progress = 0, unused = 0, cancel = 0;
        const std::string archive = P("written.zip");
        EXPECT_EQ(OrvakZipSingleFile(archive.c_str(), source.c_str(), &progress, &unused, &cancel),
                  ZB_OK);
        return ReadFile(archive);
    }

    TempFolder m_temp;
};

TEST_F(StoredStreamTest, GivesTheWrittenArchiveFromEveryStartingPoint)
{
    struct Case
    {
        const char* name;
        std::string content;
        time_t mtime;
        mode_t mode;
    };
    const Case cases[] = {
        {"random.bin", RandomBytes(300000, 1), 1600000000, 0644},
        {"Übergröße 🎉.bin", RandomBytes(5000, 2), 1700000001, 0600},
        {"latin1-\xE9.bin", RandomBytes(100, 3), 1700000000, 0755},
        {"photo.jpg", std::string("\xFF\xD8\xFF", 3) + TextBytes(4000, 4), 1000, 0644},
        {"empty", "", 2000000000, 0644},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = P(c.name);
        WriteFile(source, c.content);
        chmod(source.c_str(), c.mode);
        SetMtime(source, c.mtime);
        const std::string expected = Written(source);

        std::uint64_t size = 0;
        const StreamHandle stream = OpenStream(source, &size);
        ASSERT_TRUE(stream);
        EXPECT_EQ(size, expected.size());
        EXPECT_EQ(ReadFrom(stream.get(), 0, 4096), expected);
        EXPECT_EQ(ReadFrom(stream.get(), 0, 7), expected); // reads across record boundaries

        // A resume in the local header, the data, the descriptor, the central directory and
        // the end record, each from a stream that has read elsewhere before.
        const std::size_t tail = 16 + 46 + 22 + 2 * (std::string(c.name).size() + 24);
        const std::size_t dataStart = 30 + std::string(c.name).size() + 24;
        const std::size_t cuts[] = {1,
                                    dataStart - 1,
                                    dataStart + c.content.size() / 2,
                                    expected.size() - tail + 5,
                                    expected.size() - 40,
                                    expected.size() - 3,
                                    expected.size()};
        for (const std::size_t cut : cuts) {
            SCOPED_TRACE(cut);
            EXPECT_EQ(ReadFrom(stream.get(), cut, 65536), expected.substr(cut));
        }
        unlink(source.c_str()); // a name that is not UTF-8 defeats the folder's own clean-up
    }
}

TEST_F(StoredStreamTest, LeavesAFileWorthDeflatingToTheWrittenArchive)
{
    WriteFile(P("text.txt"), TextBytes(200000, 5));
    ZipBridgeStoredStream* stream = nullptr;
    EXPECT_EQ(ZipBridgeOpenStoredStream(P("text.txt").c_str(), &stream, nullptr), ZB_OK);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(ZipBridgeOpenStoredStream(P("missing").c_str(), &stream, nullptr), ZB_SOURCE_ERROR);
    EXPECT_EQ(stream, nullptr);
}

TEST_F(StoredStreamTest, FailsWhenTheFileChangesItsSizeWhileItIsRead)
{
    for (const long change : {-1000L, -1L, +1L, +4096L}) {
        SCOPED_TRACE(change);
        const std::string source = P("changing.bin");
        const std::string content = RandomBytes(200000, 6);
        WriteFile(source, content);
        const StreamHandle stream = OpenStream(source);
        ASSERT_TRUE(stream);
        std::string buffer(100000, '\0');
        std::uint32_t got = 0;
        ASSERT_EQ(ZipBridgeReadStoredStream(stream.get(), 0, buffer.data(), 100000, &got), ZB_OK);
        ASSERT_EQ(truncate(source.c_str(), static_cast<off_t>(content.size() + change)), 0);
        int result = ZB_OK;
        EXPECT_EQ(ReadFrom(stream.get(), got, 65536, &result), "");
        EXPECT_EQ(result, ZB_SOURCE_ERROR);
    }
}

} // namespace
} // namespace vantrel::test::zip
