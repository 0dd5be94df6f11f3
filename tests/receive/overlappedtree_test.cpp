// A tree unpacks while its archive arrives, into a hidden staging folder that becomes the
// target only once the archive is whole and checked; resumed at a cut anywhere, broken off,
// or sent as a conventional archive that cannot be followed that way.
#include "tests/receive/countedreceivefixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <functional>

namespace vantrel::test {

namespace {

using State = ReceiveTransfer::State;

class OverlappedTree : public CountedReceiveFixture
{
protected:
    void SetUp() override
    {
        CountedReceiveFixture::SetUp();
        m_files = {{QStringLiteral("a/notes.txt"), QByteArray(200000, 'n') + Pattern(1000)},
                   {QStringLiteral("a/b/noise.bin"), Pattern(300000, 3)},
                   {QStringLiteral("a/b/c/zero"), QByteArray()},
                   {QStringLiteral("top.txt"), QByteArrayLiteral("top\n")}};
        std::uint32_t total = 0;
        for (const auto& [name, content] : m_files) {
            m_data.write(QStringLiteral("src/album/") + name, content);
            total += static_cast<std::uint32_t>(content.size());
        }
        m_archive = ZipFolder(m_data.file(QStringLiteral("src/album")));
        ASSERT_GT(m_archive.size(), 1000);
        m_request = Request("album", 3, 4, total, 0);
    }

    void ExpectTree(const QString& target)
    {
        for (const auto& [name, content] : m_files)
            EXPECT_EQ(ReadAll(target + QLatin1Char('/') + name), content) << name.toStdString();
        EXPECT_TRUE(Leftovers().isEmpty()) << Leftovers().join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(TempFiles().isEmpty());
    }

    QList<std::pair<QString, QByteArray>> m_files;
};

TEST_F(OverlappedTree, UnpacksWhileArrivingAndArrivesWhole)
{
    const QString target = m_data.file(QStringLiteral("album"));
    const Run run = Receive(m_archive, target);
    ASSERT_TRUE(WaitForState(*run.transfer, State::Completed));
    EXPECT_EQ(run.transfer->outcome().reason, ReceiveReason::Received);
    EXPECT_EQ(m_counting->whileArriving, 1);
    EXPECT_EQ(m_counting->calls, 0) << "no second pass over the complete archive";
    ExpectTree(target);
}

// Resumed from the cached prefix at a cut in every part of the archive: the unpacking runs
// again from the start of the file.
struct Cut
{
    const char* name;
    std::function<qsizetype(const QByteArray& archive)> at;
};

class OverlappedResume : public OverlappedTree, public ::testing::WithParamInterface<Cut>
{
};

TEST_P(OverlappedResume, ArrivesWholeFromTheCachedPrefix)
{
    const auto cut = static_cast<std::uint32_t>(GetParam().at(m_archive));
    BreakAndKeep(cut);
    const QString target = m_data.file(QStringLiteral("album"));
    ResumeInto(target, cut);
    EXPECT_EQ(m_counting->calls, 0);
    ExpectTree(target);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, OverlappedResume,
    ::testing::Values(Cut{"InsideTheFirstLocalHeader", [](const QByteArray&) { return 13; }},
                      Cut{"InsideData", [](const QByteArray& a) { return a.size() / 2; }},
                      // The last file's descriptor ends 16 bytes before the central directory.
                      Cut{"InsideADescriptor",
                          [](const QByteArray& a) { return CentralDirectoryOffset(a) - 9; }},
                      Cut{"InsideTheCentralDirectory",
                          [](const QByteArray& a) { return CentralDirectoryOffset(a) + 30; }}),
    [](const auto& param) { return std::string(param.param.name); });

// An archive written the conventional way (Python's zipfile into a stream: stored entries
// whose sizes come only after their data) is still received.
TEST_F(OverlappedTree, AConventionalArchiveIsStillReceived)
{
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral(
             "import sys, zipfile\n"
             "class S:\n"
             "    def __init__(s): s.n = 0\n"
             "    def write(s, b): sys.stdout.buffer.write(b); s.n += len(b); return len(b)\n"
             "    def tell(s): return s.n\n"
             "    def flush(s): pass\n"
             "with zipfile.ZipFile(S(), 'w', zipfile.ZIP_STORED) as z:\n"
             "    for name, size in (('a/one.txt', 5000), ('b.bin', 70000)):\n"
             "        i = zipfile.ZipInfo(name); i.create_system = 3\n"
             "        i.external_attr = 0o100644 << 16\n"
             "        with z.open(i, 'w') as f: f.write(bytes((n * 7) % 251 for n in "
             "range(size)))\n")});
    ASSERT_TRUE(python.waitForFinished(30000));
    const QByteArray archive = python.readAllStandardOutput();
    ASSERT_GT(archive.size(), 75000) << python.readAllStandardError().toStdString();
    ASSERT_EQ(archive[6] & 8, 8) << "sizes after the data";

    auto sender = Sender(Request("conv", 1, 2, 75000, 0));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(archive, false));
    const QString target = m_data.file(QStringLiteral("conv"));
    transfer->Accept(target);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    QByteArray b;
    for (int n = 0; n < 70000; ++n)
        b.append(static_cast<char>((n * 7) % 251));
    EXPECT_EQ(ReadAll(target + QStringLiteral("/b.bin")), b);
    EXPECT_EQ(ReadAll(target + QStringLiteral("/a/one.txt")), b.left(5000));
    EXPECT_TRUE(Leftovers().isEmpty());
    EXPECT_TRUE(TempFiles().isEmpty());
}

// Into a folder that exists already, the unpacking waits for the whole archive, as before.
TEST_F(OverlappedTree, AnExistingFolderTakesTheOrdinaryExtraction)
{
    const QString target = m_data.file(QStringLiteral("album"));
    m_data.write(QStringLiteral("album/mine.txt"), "mine");
    const Run run = Receive(m_archive, target);
    ASSERT_TRUE(WaitForState(*run.transfer, State::Completed));
    EXPECT_EQ(m_counting->calls, 1);
    EXPECT_EQ(ReadAll(target + QStringLiteral("/mine.txt")), "mine");
    ExpectTree(target);
}

} // namespace

} // namespace vantrel::test
