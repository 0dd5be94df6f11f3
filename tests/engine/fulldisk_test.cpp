// Disks that fill up: the receiver's destination folder, the receiver's program folder (where
// the received archive waits), and the sender's Temp folder (where the archive to send is
// made), each a small file system of its own. Every case must end clearly, keep what a resume
// needs, leave nothing half-made that could pass for a result, and, once there is room
// again, resume to a whole copy.
#include "core/transferhub.h"
#include "receive/autoreceiverules.h"
#include "receive/resumecache.h"
#include "stats/ratecounters.h"
#include "tests/engine/twocopies.h"
#include "tests/support/smalldisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <ostream>

namespace vantrel::test {
namespace {

using Column = TransferListModel::Column;
using RecvState = ReceiveTransfer::State;
using SendState = SendTransfer::State;

constexpr std::uint64_t DiskSize = 24 * 1024 * 1024;
constexpr std::uint64_t LeftFree = 1024 * 1024;
// Far more than the loopback buffers hold, so that the sender is still sending when the
// receiver stops.
constexpr qsizetype StreamedSize = 16 * 1024 * 1024;
// Larger than what is left free, small enough to fit once the filler is gone.
constexpr qsizetype UnpackedSize = 4 * 1024 * 1024;

enum class Disk
{
    RuleFolder, // where the rule saves: a raw file's stream, or what an archive unpacks to
    Profile,    // the receiver's program folder, whose Temp holds the arriving archive
    TempFolder, // only that Temp folder: the cache of partial archives is elsewhere
};

struct FullCase
{
    const char* name;
    bool directory;
    bool compression;
    Disk disk;
    qsizetype size;
    // Streams stop at the full disk while the sender still sends; an archive that cannot be
    // unpacked has arrived whole, and the sender has completed.
    SendState senderEnd;
};

void PrintTo(const FullCase& c, std::ostream* out)
{
    *out << c.name;
}

const FullCase FullCases[] = {
    {"RawFileFillsTheFolder", false, false, Disk::RuleFolder, StreamedSize, SendState::Broken},
    {"CompressedFileFillsTemp", false, true, Disk::Profile, StreamedSize, SendState::Broken},
    {"CompressedFileUnpackFillsTheFolder", false, true, Disk::RuleFolder, UnpackedSize,
     SendState::Completed},
    {"DirectoryFillsTemp", true, true, Disk::Profile, StreamedSize, SendState::Broken},
    {"DirectoryFillsATempOfItsOwn", true, true, Disk::TempFolder, StreamedSize, SendState::Broken},
    {"DirectoryUnpackFillsTheFolder", true, true, Disk::RuleFolder, UnpackedSize,
     SendState::Completed},
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class FullDisk : public TwoCopies, public ::testing::WithParamInterface<FullCase>
{
protected:
    void SetUp() override
    {
        TwoCopies::SetUp();
        const FullCase& c = GetParam();
        m_folder = Destination(QStringLiteral("auto"));
        QDir().mkpath(m_folder);
        const QString diskFolder = c.disk == Disk::RuleFolder ? m_folder
                                   : c.disk == Disk::TempFolder
                                       ? m_bob->folder().tempFolder()
                                       : m_data.file(QStringLiteral("bob"));
        m_disk = std::make_unique<SmallDisk>(diskFolder, DiskSize);
        if (!m_disk->ok())
            GTEST_SKIP() << "This machine cannot mount a small file system, so the full disk "
                            "test does not run: "
                         << m_disk->error().toStdString();
        if (c.disk == Disk::Profile) {
            // Bob again, his whole program folder on the small disk.
            m_bob.reset();
            EngineCopy::Options options;
            options.nickName = QByteArrayLiteral("Bob");
            options.home = diskFolder;
            m_bob = std::make_unique<EngineCopy>(options);
            ASSERT_TRUE(m_bob->ok()) << m_bob->error().toStdString();
            ASSERT_TRUE(EngineCopy::TrustEachOther(*m_alice, *m_bob));
        }
        ASSERT_EQ(m_bob->rules().Add({QStringLiteral("127.0.0.1"), m_folder, QStringLiteral("0")}),
                  AutoReceiveRules::Check::Ok);
    }

    void TearDown() override
    {
        // Unmounted first: a copy removes its own folders, in which the disk may sit.
        m_disk.reset();
        TwoCopies::TearDown();
    }

    // The partial copy the receiver keeps: the destination itself (raw) or the cached archive.
    std::uint32_t PartialSize(const QString& target)
    {
        if (!GetParam().compression)
            return static_cast<std::uint32_t>(QFileInfo(target).size());
        const auto& entries = m_bob->resumes().entries();
        return entries.size() == 1 && entries[0].actualSize ? *entries[0].actualSize : 0;
    }

    QString m_folder;
    std::unique_ptr<SmallDisk> m_disk;
};

TEST_P(FullDisk, InterruptsKeepsTheDataAndResumesOnceThereIsRoom)
{
    const FullCase& c = GetParam();
    const QString name = c.directory ? QStringLiteral("tree") : QStringLiteral("data.bin");
    const QString source = Source(name);
    const QString target = m_folder + QLatin1Char('/') + name;
    if (c.directory) {
        WriteSampleTree(source);
        WriteFile(source + QStringLiteral("/sub/large.bin"), RandomData(c.size, 41));
    } else {
        WriteFile(source, RandomData(c.size, 41));
    }
    ASSERT_TRUE(m_disk->Fill(LeftFree));

    QPointer<SendTransfer> first = m_alice->OpenSend(source, c.compression);
    EngineCopy::SendTo(*first, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    ASSERT_TRUE(WaitForClosed(receive)) << StatusOf(receive); // the rule saved it for later

    // Neither a success nor a vanished peer: the disk, said as such.
    TransferListModel& downloads = m_bob->downloads();
    EXPECT_EQ(TopCell(downloads, Column::Status).toStdString(), "Disk write error")
        << Describe(*m_bob);
    EXPECT_EQ(TopIcon(downloads), TransferListModel::IconStopped);
    EXPECT_EQ(m_bob->sounds().Count(Sound::Error), 1);
    EXPECT_EQ(m_bob->sounds().Count(Sound::Complete), 0);
    EXPECT_TRUE(m_bob->messageBoxes().empty()) << Describe(*m_bob);
    ASSERT_TRUE(WaitForState(first, c.senderEnd)) << StatusOf(first);
    if (c.senderEnd == SendState::Broken) {
        EXPECT_EQ(first->outcome().reason, SendReason::ConnectionReset);
    }

    // What is kept is a true beginning of the stream; nothing half-unpacked is left.
    const std::uint32_t partial = PartialSize(target);
    EXPECT_GT(partial, 0u);
    if (c.compression) {
        EXPECT_FALSE(QFileInfo::exists(target) || QFileInfo(target).isSymLink());
        EXPECT_EQ(m_bob->resumes().entries().size(), 1u);
    } else {
        EXPECT_LT(partial, static_cast<std::uint32_t>(c.size));
        EXPECT_EQ(ReadAll(target), ReadAll(source).left(partial));
    }
    EXPECT_EQ(TempFiles(*m_bob).join(u' ').toStdString(),
              c.disk == Disk::TempFolder ? "filler.bin" : "");
    ASSERT_TRUE(WaitUntil([&] { return m_bob->hub().activeCount() == 0; }));
    first->Close();

    ASSERT_TRUE(m_disk->Free());
    m_bob->counters().TakeAndReset();
    QPointer<SendTransfer> second = m_alice->OpenSend(source, c.compression);
    EngineCopy::SendTo(*second, *m_bob);
    QPointer<ReceiveTransfer> again = m_bob->WaitForReceive(2);
    ASSERT_TRUE(again);
    ASSERT_TRUE(WaitForState(again, RecvState::Completed)) << StatusOf(again);
    ASSERT_TRUE(WaitForState(second, SendState::Completed)) << StatusOf(second);
    EXPECT_EQ(TreeDifference(source, target).toStdString(), "");
    // Only what was missing travelled: nothing at all when the whole archive was kept.
    const std::uint32_t missing = again->streamBytes() - partial;
    EXPECT_EQ(m_bob->counters().TakeAndReset().downloadBytes, missing);
    if (c.senderEnd == SendState::Completed) {
        EXPECT_EQ(missing, 0u);
    }
    EXPECT_TRUE(m_bob->resumes().entries().empty());
    EXPECT_EQ(TempFiles(*m_bob).join(u' ').toStdString(), "");
}

INSTANTIATE_TEST_SUITE_P(Disks, FullDisk, ::testing::ValuesIn(FullCases), CaseName());

// The sender makes its archive in its Temp folder: full, the send fails with a status that
// says why, leaves no partial archive, and goes through once there is room.
TEST_F(TwoCopies, FullTempFolderFailsTheSendClearly)
{
    SmallDisk disk(m_alice->folder().tempFolder(), 8 * 1024 * 1024);
    if (!disk.ok())
        GTEST_SKIP() << "This machine cannot mount a small file system, so the full disk test "
                        "does not run: "
                     << disk.error().toStdString();
    ASSERT_TRUE(disk.Fill(LeftFree));
    const QString folder = Destination(QStringLiteral("auto"));
    QDir().mkpath(folder);
    ASSERT_EQ(m_bob->rules().Add({QStringLiteral("127.0.0.1"), folder, QStringLiteral("0")}),
              AutoReceiveRules::Check::Ok);
    // A tree: a single file that is stored travels without an archive in the Temp folder.
    const QString source = Source(QStringLiteral("data"));
    WriteFile(source + QStringLiteral("/data.bin"), RandomData(UnpackedSize, 43));
    const QString target = folder + QStringLiteral("/data");

    QPointer<SendTransfer> send = m_alice->OpenSend(source, true);
    EngineCopy::SendTo(*send, *m_bob);
    ASSERT_TRUE(WaitForState(send, SendState::Broken)) << StatusOf(send);
    EXPECT_EQ(send->outcome().reason, SendReason::NoSpaceToCompress);
    // The transfer's own words for it: no lower layer's table has them.
    EXPECT_EQ(StatusOf(send), "Status: Not enough disk space to compress the data to send");
    EXPECT_EQ(send->view().statusColour, SendTransfer::View::Colour::Failure);
    EXPECT_EQ(m_alice->sounds().Count(Sound::Error), 1);
    EXPECT_EQ(TempFiles(*m_alice).join(u' ').toStdString(), "filler.bin");
    // The receiver, waiting for data, saw the connection end; it may be gone already.
    ASSERT_TRUE(WaitUntil([&] { return m_bob->receives().size() == 1; }));
    ASSERT_TRUE(WaitForClosed(m_bob->receives().front()));
    EXPECT_EQ(TopCell(m_bob->downloads(), Column::Status).toStdString(), "Connection error");
    EXPECT_FALSE(QFileInfo::exists(target));

    ASSERT_TRUE(disk.Free());
    send->SendAgain();
    EngineCopy::SendTo(*send, *m_bob);
    ASSERT_TRUE(WaitForState(send, SendState::Completed)) << StatusOf(send);
    QPointer<ReceiveTransfer> again = m_bob->WaitForReceive(2);
    ASSERT_TRUE(again);
    ASSERT_TRUE(WaitForState(again, RecvState::Completed)) << StatusOf(again);
    EXPECT_EQ(TreeDifference(source, target).toStdString(), "");
    send->Close();
    EXPECT_EQ(TempFiles(*m_alice).join(u' ').toStdString(), "");
}

} // namespace
} // namespace vantrel::test
