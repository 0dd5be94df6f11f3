// A single file whose one archive entry is stored: cut straight out of the temporary archive
// (no second pass through the extraction), fresh or resumed at a cut in any part of the
// archive, and only when the archive's end agrees with what streamed past.
#include "tests/receive/countedreceivefixture.h"

#include "core/base/archiveunpacker.h"
#include "receive/storedentrytracker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <functional>

namespace vantrel::test {

namespace {

using State = ReceiveTransfer::State;

// What a file looks like on disk besides its bytes.
struct Stamp
{
    mode_t mode = 0;
    time_t mtime = 0;
    time_t atime = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const QString& path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_mode, st.st_mtime, st.st_atime};
}

class StoredSingleFile : public CountedReceiveFixture
{
protected:
    void SetUp() override
    {
        CountedReceiveFixture::SetUp();
        // Random bytes: the sending copy stores them rather than deflating.
        m_content = Pattern(700000, 5);
        const QString source = m_data.file(QStringLiteral("src/photo.raw"));
        m_data.write(QStringLiteral("src/photo.raw"), m_content);
        QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::ExeOwner);
        const struct utimbuf times = {1500000000, 1400000000};
        ::utime(QFile::encodeName(source).constData(), &times);
        m_archive = ZipFile(source);
        ASSERT_GT(m_archive.size(), 30);
        ASSERT_EQ(m_archive[8], 0) << "the entry is stored";
        m_request = Request("photo.raw", 0, 1, static_cast<std::uint32_t>(m_content.size()), 0);

        // What the ordinary extraction makes of the same archive.
        const QString archive = m_data.file(QStringLiteral("reference.zip"));
        QFile file(archive);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(m_archive);
        file.close();
        std::uint32_t progress = 0, cancel = 0;
        m_reference = m_data.file(QStringLiteral("reference.raw"));
        ASSERT_EQ(m_counting->Unpack(false, QFile::encodeName(archive).constData(),
                                     QFile::encodeName(m_reference).constData(), &progress, &cancel,
                                     m_content.size()),
                  ArchiveUnpacker::Result::Ok);
        m_counting->calls = 0;
    }

    // Offsets of the archive's parts: the end of the entry's data, the central directory.
    qsizetype CentralOffset() const { return CentralDirectoryOffset(m_archive); }
    qsizetype DataEnd() const { return CentralOffset() - 16; } // the descriptor follows

    void ExpectDeliveredAsTheExtractionWould(const QString& target)
    {
        EXPECT_EQ(StampOf(target), StampOf(m_reference)); // before reading moves the atime
        EXPECT_EQ(ReadAll(target), m_content);
        EXPECT_EQ(m_counting->calls, 0) << "cut out of the archive, not extracted";
        EXPECT_TRUE(Leftovers().isEmpty()) << Leftovers().join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(TempFiles().isEmpty());
    }

    QByteArray m_content;
    QString m_reference;
};

TEST_F(StoredSingleFile, IsCutOutOfTheArchiveAsTheExtractionWouldMakeIt)
{
    const QString target = m_data.file(QStringLiteral("photo.raw"));
    const Run run = Receive(m_archive, target);
    ASSERT_TRUE(WaitForState(*run.transfer, State::Completed));
    EXPECT_EQ(run.transfer->outcome().reason, ReceiveReason::Received);
    ExpectDeliveredAsTheExtractionWould(target);
}

// A transfer broken off in any part of the archive and resumed from the cached prefix.
struct Cut
{
    const char* name;
    std::function<qsizetype(qsizetype dataEnd, qsizetype central, qsizetype size)> at;
};

class StoredResume : public StoredSingleFile, public ::testing::WithParamInterface<Cut>
{
};

TEST_P(StoredResume, ArrivesWholeFromTheCachedPrefix)
{
    const auto cut =
        static_cast<std::uint32_t>(GetParam().at(DataEnd(), CentralOffset(), m_archive.size()));
    BreakAndKeep(cut);
    const QString target = m_data.file(QStringLiteral("photo.raw"));
    ResumeInto(target, cut);
    ExpectDeliveredAsTheExtractionWould(target);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, StoredResume,
    ::testing::Values(Cut{"InsideTheLocalHeader", [](auto, auto, auto) { return 17; }},
                      Cut{"InsideTheName", [](auto, auto, auto) { return 32; }},
                      Cut{"InsideTheData", [](auto end, auto, auto) { return end / 2; }},
                      Cut{"AtTheEndOfTheData", [](auto end, auto, auto) { return end; }},
                      Cut{"InsideTheDescriptor", [](auto end, auto, auto) { return end + 7; }},
                      Cut{"InsideTheCentralDirectory", [](auto, auto cd, auto) { return cd + 20; }},
                      Cut{"InsideTheEndRecord", [](auto, auto, auto size) { return size - 5; }}),
    [](const auto& param) { return std::string(param.param.name); });

// An archive whose end disagrees with the bytes that streamed past is not taken on the
// stream's word: the ordinary extraction decides, and no staging file is left behind.
struct Tamper
{
    const char* name;
    std::function<void(QByteArray& archive, qsizetype dataEnd, qsizetype central)> apply;
    bool completes;
};

class StoredTampered : public StoredSingleFile, public ::testing::WithParamInterface<Tamper>
{
};

TEST_P(StoredTampered, GoesToTheExtraction)
{
    QByteArray archive = m_archive;
    GetParam().apply(archive, DataEnd(), CentralOffset());
    const QString target = m_data.file(QStringLiteral("photo.raw"));
    const Run run = Receive(archive, target);
    ASSERT_TRUE(
        WaitForState(*run.transfer, GetParam().completes ? State::Completed : State::Closed));
    EXPECT_EQ(m_counting->calls, 1);
    EXPECT_TRUE(Leftovers().isEmpty()) << Leftovers().join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(TempFiles().isEmpty());
    if (GetParam().completes) {
        EXPECT_EQ(ReadAll(target), m_content);
    } else {
        EXPECT_EQ(run.transfer->outcome().reason, ReceiveReason::ArchiveDamaged);
        EXPECT_FALSE(QFileInfo::exists(target));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredTampered,
    ::testing::Values(
        // The CRC the stream computes no longer matches either header.
        Tamper{"DataByteChanged", [](QByteArray& a, auto end, auto) { a[end - 1000] ^= 1; }, false},
        Tamper{"CentralCrcDisagrees", [](QByteArray& a, auto, auto cd) { a[cd + 16] ^= 1; }, false},
        Tamper{"CentralNameDisagrees", [](QByteArray& a, auto, auto cd) { a[cd + 46] ^= 1; }, true},
        // The extraction goes by the central directory and ignores the descriptor.
        Tamper{"DescriptorCrcDisagrees", [](QByteArray& a, auto end, auto) { a[end + 4] ^= 1; },
               true},
        Tamper{"NotMadeOnUnix", [](QByteArray& a, auto, auto cd) { a[cd + 5] = 0; }, true}),
    [](const auto& param) { return std::string(param.param.name); });

// The tracker reads the same entry whatever pieces the stream comes in.
TEST_F(StoredSingleFile, TrackerIsIndifferentToHowTheStreamIsCut)
{
    StoredEntryTracker whole;
    whole.Feed(m_archive.constData(), static_cast<std::size_t>(m_archive.size()));
    ASSERT_TRUE(whole.Complete());
    EXPECT_EQ(whole.dataOffset() + whole.size(), static_cast<std::uint64_t>(DataEnd()));
    for (const std::size_t piece : {std::size_t{1}, std::size_t{29}, std::size_t{4096}}) {
        StoredEntryTracker cut;
        for (qsizetype at = 0; at < m_archive.size(); at += static_cast<qsizetype>(piece))
            cut.Feed(m_archive.constData() + at,
                     std::min<std::size_t>(piece, static_cast<std::size_t>(m_archive.size() - at)));
        EXPECT_TRUE(cut.Complete()) << piece;
        EXPECT_EQ(cut.crc(), whole.crc()) << piece;
        EXPECT_EQ(cut.name(), "photo.raw");
        EXPECT_EQ(cut.mtime(), whole.mtime());
    }
}

} // namespace

} // namespace vantrel::test
