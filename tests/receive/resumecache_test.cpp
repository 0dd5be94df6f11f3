#include "receive/resumecache.h"

#include "net/wirerecords.h"
#include "receive/partialrecords.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

RequestHeader Request(const char* fileName, std::uint32_t dirs, std::uint32_t files,
                      std::uint32_t total)
{
    RequestHeader request;
    request.fileName = fileName;
    request.dirCount = dirs;
    request.fileCount = files;
    request.totalSize = total;
    return request;
}

QByteArray U32(std::uint32_t value)
{
    QByteArray out;
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((value >> shift) & 0xff));
    return out;
}

QByteArray Record(std::uint32_t id, const QByteArray& name, std::uint32_t dirs, std::uint32_t files,
                  std::uint32_t total)
{
    return U32(id) + name + QByteArray(256 - name.size(), '\0') + U32(dirs) + U32(files) +
           U32(total);
}

class ResumeCacheTest : public ::testing::Test
{
protected:
    ResumeCacheTest() { QDir(m_temp.path()).mkpath(QStringLiteral("CachedResumes")); }

    void WriteEntryFile(std::uint32_t id, int size)
    {
        m_temp.write(QStringLiteral("CachedResumes/%1.resume").arg(id), QByteArray(size, 'z'));
    }
    void WriteList(const QByteArray& bytes)
    {
        m_temp.write(QStringLiteral("cachedreslist.vnt"), bytes);
    }
    QByteArray ListBytes() const
    {
        QFile file(m_temp.file(QStringLiteral("cachedreslist.vnt")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    test::TempFolder m_temp;
    ProgramFolder m_folder{m_temp.path()};
};

TEST_F(ResumeCacheTest, ListFileHasTheFixedLayout)
{
    WriteList(U32(0) + U32(2)); // an empty list that has handed out ids 1 and 2
    ResumeCache cache(m_folder);
    cache.Load();
    const std::uint32_t id = cache.Add(Request("a.zip", 2, 5, 0x01020304));
    ASSERT_EQ(id, 3u);
    ASSERT_TRUE(cache.Save());

    QByteArray expected = QByteArray::fromHex("01000000"   // count
                                              "03000000"   // lastResumeId
                                              "03000000"); // id
    expected += "a.zip";
    expected += QByteArray(251, '\0');
    expected += QByteArray::fromHex("02000000"   // dirCount
                                    "05000000"   // fileCount
                                    "04030201"); // totalSize
    EXPECT_EQ(ListBytes().toHex(), expected.toHex());
}

TEST_F(ResumeCacheTest, SaveAndLoadRoundTrip)
{
    ResumeCache cache(m_folder);
    cache.Load();
    const std::uint32_t a = cache.Add(Request("photos", 3, 40, 5000000));
    const std::uint32_t b = cache.Add(Request("Ünïcödé.txt", 0, 1, 4000));
    const std::uint32_t c = cache.Add(Request("big.iso", 0, 1, 0xffffffffu));
    WriteEntryFile(a, 1536);
    WriteEntryFile(b, 10);
    WriteEntryFile(c, 0);
    for (std::uint32_t id : {a, b, c})
        EXPECT_TRUE(cache.Complete(id));
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(ListBytes().size(), 8 + 3 * 272);

    ResumeCache loaded(m_folder);
    loaded.Load();
    EXPECT_EQ(loaded.lastResumeId(), 3u);
    ASSERT_EQ(loaded.entries().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const ResumeEntry& got = loaded.entries()[i];
        const ResumeEntry& want = cache.entries()[i];
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.fileName, want.fileName);
        EXPECT_EQ(got.dirCount, want.dirCount);
        EXPECT_EQ(got.fileCount, want.fileCount);
        EXPECT_EQ(got.totalSize, want.totalSize);
        EXPECT_EQ(got.actualSize, want.actualSize);
    }
    EXPECT_EQ(loaded.entries()[0].ActualSizeText(), QStringLiteral("1.50 Kb"));
}

TEST_F(ResumeCacheTest, DamagedListKeepsCompleteRecordsOnly)
{
    for (std::uint32_t id : {1u, 2u, 3u})
        WriteEntryFile(id, 5);
    const QByteArray full = U32(3) + U32(3) + Record(1, "one", 0, 1, 10) +
                            Record(2, "two", 0, 1, 10) + Record(3, "three", 0, 1, 10);
    const std::pair<int, size_t> cases[] = {
        {8 + 2 * 272 + 100, 2}, // cut inside the third record
        {8 + 272, 1},
        {8, 0},
        {5, 0}, // not even a header
        {0, 0},
    };
    for (const auto& [length, entries] : cases) {
        WriteList(full.left(length));
        ResumeCache cache(m_folder);
        cache.Load();
        EXPECT_EQ(cache.entries().size(), entries) << length;
    }

    // A count larger than the file holds, and a name that fills its field without a terminator.
    QByteArray unterminated = Record(1, QByteArray(256, 'n'), 0, 1, 10);
    WriteList(U32(1000) + U32(1) + unterminated);
    ResumeCache cache(m_folder);
    cache.Load();
    ASSERT_EQ(cache.entries().size(), 1u);
    EXPECT_EQ(cache.entries()[0].fileName, QByteArray(255, 'n'));
}

TEST_F(ResumeCacheTest, EntriesWhoseFileIsGoneAreDropped)
{
    WriteEntryFile(5, 100);
    WriteList(U32(2) + U32(9) + Record(3, "gone", 0, 1, 10) + Record(5, "kept", 0, 1, 400));
    ResumeCache cache(m_folder);
    cache.Load();
    ASSERT_EQ(cache.entries().size(), 1u);
    EXPECT_EQ(cache.entries()[0].id, 5u);
    EXPECT_EQ(cache.entries()[0].ProgressText(), QStringLiteral("25%"));
    EXPECT_EQ(cache.lastResumeId(), 9u);
    EXPECT_EQ(cache.Add(Request("next", 0, 1, 1)), 10u);
}

TEST_F(ResumeCacheTest, NumberingRestartsAfterAnEmptySave)
{
    WriteList(U32(0) + U32(6));
    ResumeCache cache(m_folder);
    cache.Load();
    const std::uint32_t id = cache.Add(Request("x", 0, 1, 1));
    EXPECT_EQ(id, 7u);
    WriteEntryFile(id, 1);
    cache.DiscardAll();
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(ListBytes(), QByteArray(8, '\0'));

    ResumeCache next(m_folder);
    next.Load();
    EXPECT_EQ(next.Add(Request("y", 0, 1, 1)), 1u);
}

TEST_F(ResumeCacheTest, NewIdsNeverLandOnAKeptArchive)
{
    // A stray archive without an entry, and a list whose counter lags behind its entries.
    WriteEntryFile(1, 3);
    WriteEntryFile(2, 3);
    WriteList(U32(1) + U32(0) + Record(2, "listed", 0, 1, 10));
    ResumeCache cache(m_folder);
    cache.Load();
    EXPECT_EQ(cache.Add(Request("new", 0, 1, 1)), 3u);
    EXPECT_TRUE(QFile::exists(cache.EntryFile(1)));
}

TEST_F(ResumeCacheTest, FindResumeMatchesAllFourFieldsExactly)
{
    ResumeCache cache(m_folder);
    const std::uint32_t first = cache.Add(Request("tree", 2, 10, 5000));
    const std::uint32_t second = cache.Add(Request("tree", 2, 10, 5000));
    const std::uint32_t upper = cache.Add(Request("Tree", 2, 10, 5000));
    ASSERT_NE(first, second);

    struct Case
    {
        RequestHeader request;
        std::optional<std::uint32_t> id;
    };
    const Case cases[] = {
        {Request("tree", 2, 10, 5000), first}, // the earlier of two equal entries
        {Request("Tree", 2, 10, 5000), upper},         {Request("TREE", 2, 10, 5000), std::nullopt},
        {Request("tree", 3, 10, 5000), std::nullopt},  {Request("tree", 1, 10, 5000), std::nullopt},
        {Request("tree", 2, 11, 5000), std::nullopt},  {Request("tree", 2, 9, 5000), std::nullopt},
        {Request("tree", 2, 10, 5001), std::nullopt},  {Request("tre", 2, 10, 5000), std::nullopt},
        {Request("tree ", 2, 10, 5000), std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<ResumeEntry> found = cache.FindResume(c.request);
        EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, c.id)
            << c.request.fileName.toStdString() << ' ' << c.request.dirCount << ' '
            << c.request.fileCount << ' ' << c.request.totalSize;
    }

    cache.Remove(first);
    EXPECT_EQ(cache.FindResume(Request("tree", 2, 10, 5000))->id, second);
}

TEST_F(ResumeCacheTest, CompleteFillsDerivedColumnsOnlyWhenTheFileExists)
{
    ResumeCache cache(m_folder);
    const std::uint32_t id = cache.Add(Request("f", 0, 1, 3072));
    EXPECT_FALSE(cache.Complete(id));
    EXPECT_EQ(cache.FindById(id)->ActualSizeText(), QString());
    EXPECT_EQ(cache.FindById(id)->ProgressText(), QString());

    WriteEntryFile(id, 1536);
    EXPECT_TRUE(cache.Complete(id));
    EXPECT_EQ(cache.FindById(id)->ActualSizeText(), QStringLiteral("1.50 Kb"));
    EXPECT_EQ(cache.FindById(id)->ProgressText(), QStringLiteral("50%"));
    EXPECT_FALSE(cache.Complete(id + 100));
}

TEST(ResumeEntryText, ProgressIsTruncatedAndNeverOverflows)
{
    struct Case
    {
        std::uint32_t actual;
        std::uint32_t total;
        const char* text;
    };
    const Case cases[] = {
        {2, 3, "66%"},
        {0, 100, "0%"},
        {100, 100, "100%"},
        {150, 100, "150%"},
        {5, 0, "0%"},
        {0, 0, "0%"},
        {0xffffffffu, 1, "2147483647%"},
    };
    for (const Case& c : cases) {
        ResumeEntry entry;
        entry.actualSize = c.actual;
        entry.totalSize = c.total;
        EXPECT_EQ(entry.ProgressText(), QLatin1String(c.text)) << c.actual << '/' << c.total;
    }
}

TEST_F(ResumeCacheTest, DiscardDeletesFilesAndEntries)
{
    ResumeCache cache(m_folder);
    const std::uint32_t a = cache.Add(Request("a", 0, 1, 1));
    const std::uint32_t b = cache.Add(Request("b", 0, 1, 1));
    const std::uint32_t c = cache.Add(Request("c", 0, 1, 1));
    const std::uint32_t d = cache.Add(Request("d", 0, 1, 1));
    for (std::uint32_t id : {a, c, d})
        WriteEntryFile(id, 4);
    m_temp.write(QStringLiteral("CachedResumes/unrelated.resume"), "x");

    cache.Discard(a);
    EXPECT_FALSE(QFile::exists(cache.EntryFile(a)));
    cache.Discard(b); // its file never existed
    cache.Remove(c);  // the entry only: a resumed transfer took the file
    EXPECT_TRUE(QFile::exists(cache.EntryFile(c)));
    ASSERT_EQ(cache.entries().size(), 1u);
    EXPECT_EQ(cache.entries()[0].id, d);

    cache.DiscardAll();
    EXPECT_TRUE(cache.entries().empty());
    EXPECT_FALSE(QFile::exists(cache.EntryFile(d)));
    EXPECT_TRUE(QFile::exists(m_temp.file(QStringLiteral("CachedResumes/unrelated.resume"))));
}

TEST_F(ResumeCacheTest, EditsAnnounceThemselves)
{
    ResumeCache cache(m_folder);
    int changes = 0;
    QObject::connect(&cache, &ResumeCache::changed, &cache, [&changes] { ++changes; });
    const std::uint32_t id = cache.Add(Request("a", 0, 1, 1));
    EXPECT_EQ(changes, 1);
    WriteEntryFile(id, 1);
    cache.Complete(id);
    EXPECT_EQ(changes, 2);
    cache.Remove(id + 1); // nothing to remove
    EXPECT_EQ(changes, 2);
    cache.Discard(id);
    EXPECT_EQ(changes, 3);
    cache.Load();
    EXPECT_EQ(changes, 4);
}

TEST_F(ResumeCacheTest, LongNamesAreCutWithoutSplittingACharacter)
{
    ResumeCache cache(m_folder);
    const QByteArray name = QByteArray(254, 'a') + "\xc3\xa9" + "bc"; // é straddles byte 255
    RequestHeader request = Request("", 0, 1, 1);
    request.fileName = name;
    const std::uint32_t id = cache.Add(request);
    EXPECT_EQ(cache.FindById(id)->fileName, QByteArray(254, 'a'));
    WriteEntryFile(id, 1);
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(ListBytes().mid(8 + 4, 256), QByteArray(254, 'a') + QByteArray(2, '\0'));
}

TEST_F(ResumeCacheTest, ANameThatIsNotUtf8IsKeptByteForByteAndStillMatches)
{
    // A peer's file name is raw bytes; cutting to the field must not rewrite them, or the
    // same offer would never find its partial archive again.
    ResumeCache cache(m_folder);
    RequestHeader request = Request("", 0, 1, 10);
    request.fileName = QByteArray("bad\xff\x80name\xe2\x82");
    const std::uint32_t id = cache.Add(request);
    WriteEntryFile(id, 4);
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(ListBytes().mid(8 + 4, request.fileName.size() + 1), request.fileName + '\0');

    ResumeCache reloaded(m_folder);
    reloaded.Load();
    const std::optional<ResumeEntry> found = reloaded.FindResume(request);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, id);
}

// The notes of archives being received: what a crash leaves behind is found at the next start
// and kept as a cached resume of its offer; a note of no use is dropped.
TEST_F(ResumeCacheTest, PartialArchivesOfACrashedRunJoinTheList)
{
    ResumeCache earlier(m_folder);
    earlier.Add(Request("kept.zip", 0, 1, 10));
    WriteEntryFile(1, 4);
    ASSERT_TRUE(earlier.Save());

    const PartialRecords records(m_folder);
    const QByteArray name("tr\xc3\xa9"
                          "e/with \x01 odd bytes");
    m_temp.write(QStringLiteral("Temp/ZIV1.zip"), QByteArray(5000, 'a'));
    const QString note = records.Write(m_folder.file(QStringLiteral("Temp/ZIV1.zip")),
                                       Request(name.constData(), 3, 7, 123456));
    EXPECT_EQ(note, m_folder.file(QStringLiteral("Temp/ZIV1.zip.partial")));
    m_temp.write(QStringLiteral("Temp/ZIV2.zip"), QByteArray(10, 'b'));
    records.Write(m_folder.file(QStringLiteral("Temp/ZIV2.zip")), Request("second", 1, 1, 99));

    // Of no use: an archive never written to, one that is gone, notes that are not notes.
    m_temp.write(QStringLiteral("Temp/ZIV3.zip"), QByteArray());
    records.Write(m_folder.file(QStringLiteral("Temp/ZIV3.zip")), Request("empty", 1, 1, 9));
    records.Write(m_folder.file(QStringLiteral("Temp/ZIV4.zip")), Request("gone", 1, 1, 9));
    // The last is a note whose name holds a NUL, which the list could not keep as it is.
    for (const QByteArray& junk :
         {QByteArray("VNTPART1"), QByteArray(40, 'x'),
          QByteArray("VNTPART1") + QByteArray(16, '\xff'),
          QByteArray::fromBase64("Vk5UUEFSVDECAAAABQAAAAAQAAAGAAAAcAAQAABz")}) {
        static int n = 5;
        const QString archive = QStringLiteral("Temp/ZIV%1.zip").arg(n++);
        m_temp.write(archive, QByteArray(100, 'c'));
        m_temp.write(archive + QStringLiteral(".partial"), junk);
    }

    ResumeCache cache(m_folder);
    cache.Load();
    EXPECT_EQ(records.Recover(cache), 2);
    ASSERT_EQ(cache.entries().size(), 3u);
    const ResumeEntry& first = cache.entries()[1];
    EXPECT_EQ(first.fileName, name);
    EXPECT_EQ(first.dirCount, 3u);
    EXPECT_EQ(first.fileCount, 7u);
    EXPECT_EQ(first.totalSize, 123456u);
    EXPECT_EQ(first.actualSize, 5000u);
    EXPECT_EQ(cache.entries()[2].fileName, QByteArrayLiteral("second"));
    EXPECT_EQ(cache.entries()[2].actualSize, 10u);

    // The notes are gone, the empty archive with them; the list on disk already has both.
    const QStringList left =
        QDir(m_folder.tempFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    EXPECT_EQ(left, QStringList({QStringLiteral("ZIV5.zip"), QStringLiteral("ZIV6.zip"),
                                 QStringLiteral("ZIV7.zip"), QStringLiteral("ZIV8.zip")}));
    ResumeCache reloaded(m_folder);
    reloaded.Load();
    EXPECT_EQ(reloaded.entries().size(), 3u);
    EXPECT_EQ(records.Recover(reloaded), 0);
}

} // namespace
} // namespace vantrel
