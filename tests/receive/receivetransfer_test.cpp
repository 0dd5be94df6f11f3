// The receive engine against a scripted sending copy over loopback TLS: accepting, refusing,
// aborting, breaking off, failing, and the pacing of the band limit.
#include "tests/receive/receivefixture.h"

#include "net/tlssession.h"
#include "receive/receivestatustexts.h"
#include "send/zipbridgeloader.h"
#include "zipbridge/zipbridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <archive.h>
#include <archive_entry.h>

#include <atomic>

namespace vantrel::test {

namespace {

using State = ReceiveTransfer::State;
using Panel = ReceiveView::Panel;

// ---------------------------------------------------------------------------------------
// A raw file arrives byte for byte, whatever its size relative to blocks and the buffer.

struct RawCase
{
    const char* name;
    int size;
};

class RawReceive : public ReceiveFixture, public ::testing::WithParamInterface<RawCase>
{
};

TEST_P(RawReceive, ArrivesByteIdenticalAndCompletes)
{
    const QByteArray bytes = Pattern(GetParam().size);
    auto sender = Sender(Request("report.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::None);
    EXPECT_EQ(transfer->proposedName(), QStringLiteral("report.bin"));
    sender->Start(ScriptedSender::Stream(bytes, true));

    const QString target = m_data.file(QStringLiteral("saved.bin"));
    transfer->Accept(target);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    sender->Join();

    EXPECT_EQ(ReadAll(target), bytes);
    ASSERT_EQ(sender->replies.size(), 1u);
    EXPECT_TRUE(sender->replies[0].IsAccepted());
    EXPECT_EQ(sender->replies[0].resumeOffset, 0u);
    EXPECT_EQ(sender->replies[0].nickName, QByteArrayLiteral("Bob"));
    EXPECT_EQ(m_counters.TakeAndReset().downloadBytes, static_cast<std::uint32_t>(bytes.size()));

    const RowRef row{&m_downloads, m_downloads.IdAt(0)};
    EXPECT_EQ(m_downloads.Cell(row.id, TransferListModel::Status), QStringLiteral("Completed"));
    EXPECT_EQ(m_downloads.Cell(row.id, TransferListModel::Speed), QStringLiteral("-"));
    EXPECT_EQ(m_downloads.StateIcon(row.id), TransferListModel::IconReceiveCompleted);
    EXPECT_EQ(transfer->view().panel, Panel::Completion);
    EXPECT_EQ(transfer->view().statusKind, ReceiveView::StatusKind::Done);
    EXPECT_EQ(transfer->view().compression, QStringLiteral("Disabled"));
    EXPECT_EQ(m_sounds.played, (std::vector<Sound>{Sound::NewRequest, Sound::Complete}));

    transfer->Close();
    ASSERT_TRUE(WaitUntil([&] { return !m_hub.closed.empty(); }));
    EXPECT_EQ(m_hub.closed, std::vector<ReceiveTransfer*>{transfer.get()});
    EXPECT_TRUE(TempFiles().isEmpty());
}

// What a front door learns without reading the window: each change of state, and the one
// ending with its outcome and figures.
TEST_F(ReceiveFixture, AnnouncesEachStateAndItsEndingOnce)
{
    const QByteArray bytes = Pattern(70000);
    const struct
    {
        const char* what;
        ScriptedSender::Script play;
        std::vector<State> states;
        ReceiveReason reason;
    } cases[] = {
        {"whole",
         ScriptedSender::Stream(bytes, true),
         {State::WaitingForData, State::Receiving, State::Completed, State::Closed},
         ReceiveReason::Received},
        {"short data header",
         [](TlsSession& session, ScriptedSender& s) {
             if (s.ReadReply(session))
                 session.Write("\x02\0\0\0\x01", 5);
         },
         {State::WaitingForData, State::Failed, State::Closed},
         ReceiveReason::NoDataHeader},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto sender =
            Sender(Request("told.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
        auto transfer = Open(*sender);
        std::vector<State> states;
        std::vector<ReceiveOutcome> endings;
        QObject::connect(transfer.get(), &ReceiveTransfer::stateChanged, transfer.get(),
                         [&](const ReceiveOutcome& outcome) { states.push_back(outcome.state); });
        QObject::connect(transfer.get(), &ReceiveTransfer::ended, transfer.get(),
                         [&](const ReceiveOutcome& outcome) { endings.push_back(outcome); });
        sender->Start(c.play);
        const QString target = m_data.file(QString::fromLatin1(c.what));
        transfer->Accept(target);
        ASSERT_TRUE(WaitUntil([&] { return !endings.empty(); }));
        transfer->Close();
        sender->Join();

        EXPECT_EQ(states, c.states);
        ASSERT_EQ(endings.size(), 1u) << "closing after the ending is no second ending";
        const ReceiveOutcome& ending = endings.front();
        EXPECT_EQ(ending.state, c.states[c.states.size() - 2]);
        EXPECT_EQ(ending.reason, c.reason);
        EXPECT_EQ(ending.targetPath, target);
        EXPECT_FALSE(ending.resumeAsked);
        if (c.reason == ReceiveReason::Received) {
            EXPECT_EQ(ending.streamBytes, static_cast<std::uint32_t>(bytes.size()));
            EXPECT_EQ(ending.receivedBytes, static_cast<std::uint32_t>(bytes.size()));
        }
        EXPECT_EQ(transfer->outcome().reason, c.reason) << "the close keeps the ending's reason";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RawReceive,
                         ::testing::Values(RawCase{"Empty", 0}, RawCase{"OneByte", 1},
                                           RawCase{"OneBlock", 1024}, RawCase{"Odd", 5000},
                                           RawCase{"PastTheWriteBuffer", 2 * 256 * 1024 + 17}),
                         [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------
// Archives: a single file and a nested tree come out byte-identical after decompression.

class ArchiveReceive : public ReceiveFixture
{
};

TEST_F(ArchiveReceive, SingleFileDecompressesByteIdentical)
{
    const QByteArray content = Pattern(150000) + QByteArray(300000, 'a');
    m_data.write(QStringLiteral("src/notes.txt"), content);
    const QByteArray archive = ZipFile(m_data.file(QStringLiteral("src/notes.txt")));
    ASSERT_FALSE(archive.isEmpty());

    auto sender = Sender(Request("notes.txt", 0, 1, static_cast<std::uint32_t>(content.size()), 0));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(archive, false));
    const QString target = m_data.file(QStringLiteral("out.txt"));
    transfer->Accept(target);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));

    EXPECT_EQ(ReadAll(target), content);
    EXPECT_TRUE(transfer->view().compression.endsWith(QStringLiteral("% Efficiency")));
    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::Received);
    EXPECT_TRUE(TempFiles().isEmpty()) << "the temporary archive is deleted";
}

TEST_F(ArchiveReceive, NestedTreeDecompressesByteIdentical)
{
    const QList<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("tree/a.txt"), QByteArrayLiteral("first")},
        {QStringLiteral("tree/sub/b.bin"), Pattern(70000, 2)},
        {QStringLiteral("tree/sub/deeper/c.bin"), Pattern(3000, 3)},
        {QStringLiteral("tree/other/d.txt"), QByteArray(20000, 'd')},
    };
    for (const auto& [name, bytes] : files)
        m_data.write(name, bytes);
    QDir().mkpath(m_data.file(QStringLiteral("tree/empty")));
    std::uint64_t total = 0;
    std::uint32_t dirs = 0, count = 0;
    const QByteArray root = QFile::encodeName(m_data.file(QStringLiteral("tree")));
    ASSERT_EQ(m_services.zip->FolderProperties(root.constData(), &total, &dirs, &count), ZB_OK);
    const QByteArray archive = ZipFolder(m_data.file(QStringLiteral("tree")));

    auto sender = Sender(Request("tree", dirs, count, static_cast<std::uint32_t>(total), 0));
    auto transfer = Open(*sender);
    EXPECT_EQ(transfer->view().nameLabel, QStringLiteral("Directory"));
    EXPECT_EQ(transfer->view().openButtonText, QStringLiteral("Open Directory"));
    sender->Start(ScriptedSender::Stream(archive, false));
    const QString target = m_data.file(QStringLiteral("received/tree"));
    QDir().mkpath(m_data.file(QStringLiteral("received")));
    transfer->Accept(target);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));

    for (const auto& [name, bytes] : files)
        EXPECT_EQ(ReadAll(m_data.file(QStringLiteral("received/") + name)), bytes)
            << name.toStdString();
    EXPECT_TRUE(QFileInfo(m_data.file(QStringLiteral("received/tree/empty"))).isDir());
}

// An archive that expands past the announced size is a failure, and leaves nothing behind.
TEST_F(ArchiveReceive, ArchiveLargerThanAnnouncedFailsAndLeavesNothing)
{
    m_data.write(QStringLiteral("src/zeros"), QByteArray(4 * 1024 * 1024, '\0'));
    const QByteArray archive = ZipFile(m_data.file(QStringLiteral("src/zeros")));
    ASSERT_LT(archive.size(), 100000);

    auto sender = Sender(Request("zeros", 0, 1, 1000, 0));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(archive, false));
    const QString target = m_data.file(QStringLiteral("zeros"));
    transfer->Accept(target);
    ASSERT_TRUE(WaitForState(*transfer, State::Closed));

    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::ArchiveTooLarge);
    EXPECT_EQ(transfer->view().statusText, ReceiveStatusTexts::Of(transfer->outcome()));
    EXPECT_EQ(transfer->view().statusKind, ReceiveView::StatusKind::Failure);
    EXPECT_EQ(m_downloads.StateIcon(m_downloads.IdAt(0)), TransferListModel::IconStopped);
    EXPECT_EQ(m_sounds.played.back(), Sound::Error);
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(TempFiles().isEmpty());
}

// An archive that arrived whole but cannot be unpacked for lack of room is neither a success
// nor a damaged archive: the transfer is interrupted, nothing half-unpacked stays, and the
// whole archive is kept for a resume, which then has nothing left to ask for.
TEST_F(ArchiveReceive, UnpackingTheDiskRefusesKeepsTheWholeArchiveForAResume)
{
    m_data.write(QStringLiteral("src/zeros"), QByteArray(4 * 1024 * 1024, '\0'));
    const QByteArray archive = ZipFile(m_data.file(QStringLiteral("src/zeros")));
    ASSERT_LT(archive.size(), 100000);

    auto sender = Sender(Request("zeros", 0, 1, 4 * 1024 * 1024, 0));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(archive, false));
    const QString target = m_data.file(QStringLiteral("zeros"));
    // The archive fits below the limit, what it holds not.
    ASSERT_TRUE(AcceptUnderFileSizeLimit(*transfer, target, 300 * 1024))
        << transfer->view().statusText.toStdString();

    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::DiskWriteError);
    EXPECT_EQ(transfer->view().interruptionText,
              QStringLiteral("Unable to write the received data to disk!"));
    EXPECT_EQ(m_downloads.StateIcon(m_downloads.IdAt(0)), TransferListModel::IconStopped);
    EXPECT_EQ(m_sounds.played.back(), Sound::Error);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_FALSE(QFileInfo::exists(target));

    transfer->SaveForLaterResume();
    EXPECT_EQ(transfer->state(), State::Closed);
    ASSERT_EQ(m_resumes->entries().size(), 1u);
    EXPECT_EQ(m_resumes->entries()[0].actualSize, static_cast<std::uint32_t>(archive.size()));
    EXPECT_EQ(ReadAll(m_resumes->EntryFile(m_resumes->entries()[0].id)), archive);
    EXPECT_TRUE(TempFiles().isEmpty());
}

// What the component reports decides the outcome: entries it refused are skipped (the rest
// completes, saying so); an archive it cannot read is a failure, never "Completed".
QByteArray HostileArchive()
{
    QByteArray bytes(64 * 1024, '\0');
    std::size_t used = 0;
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    archive_write_open_memory(writer, bytes.data(), static_cast<std::size_t>(bytes.size()), &used);
    for (const char* name : {"good.txt", "../evil.txt", "/tmp/vantrel-absolute-evil.txt"}) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name);
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, 4);
        archive_write_header(writer, entry);
        archive_write_data(writer, "data", 4);
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    bytes.truncate(static_cast<qsizetype>(used));
    return bytes;
}

TEST_F(ArchiveReceive, RefusedEntriesAreSkippedAndSaidSo)
{
    const QByteArray archive = HostileArchive();
    auto sender = Sender(Request("box", 1, 3, 12, 0));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(archive, false));
    QDir().mkpath(m_data.file(QStringLiteral("in")));
    transfer->Accept(m_data.file(QStringLiteral("in/box")));
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::ReceivedWithSkippedEntries);
    EXPECT_EQ(transfer->view().statusText, ReceiveStatusTexts::Of(transfer->outcome()));
    EXPECT_EQ(ReadAll(m_data.file(QStringLiteral("in/box/good.txt"))), QByteArrayLiteral("data"));
    EXPECT_FALSE(QFileInfo::exists(m_data.file(QStringLiteral("in/evil.txt"))));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/vantrel-absolute-evil.txt")));
}

TEST_F(ArchiveReceive, DamagedArchiveFailsInsteadOfCompleting)
{
    auto sender = Sender(Request("broken.txt", 0, 1, 5000, 0));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(Pattern(3000), false));
    transfer->Accept(m_data.file(QStringLiteral("broken.txt")));
    ASSERT_TRUE(WaitForState(*transfer, State::Closed));
    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::ArchiveDamaged);
    EXPECT_EQ(m_downloads.StateIcon(m_downloads.IdAt(0)), TransferListModel::IconStopped);
    EXPECT_EQ(m_sounds.played.back(), Sound::Error);
    EXPECT_TRUE(TempFiles().isEmpty());
}

// An empty stream holds no archive: an empty offer still makes its empty file or folder;
// anything else is a damaged transfer, not a completed one.
struct EmptyArchiveCase
{
    const char* name;
    std::uint32_t dirCount;
    std::uint32_t totalSize;
    State end;
    bool targetMade;
};

class EmptyArchiveStream : public ReceiveFixture,
                           public ::testing::WithParamInterface<EmptyArchiveCase>
{
};

TEST_P(EmptyArchiveStream, CompletesOnlyForAnEmptyOffer)
{
    const EmptyArchiveCase& c = GetParam();
    auto sender = Sender(Request("thing", c.dirCount, c.dirCount ? 0 : 1, c.totalSize, 0));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(QByteArray(), false));
    const QString target = m_data.file(QStringLiteral("thing"));
    transfer->Accept(target);
    ASSERT_TRUE(WaitForState(*transfer, c.end));
    EXPECT_EQ(QFileInfo::exists(target), c.targetMade);
    if (c.targetMade)
        EXPECT_EQ(QFileInfo(target).isDir(), c.dirCount != 0);
    else
        EXPECT_EQ(transfer->outcome().reason, ReceiveReason::ArchiveDamaged);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmptyArchiveStream,
    ::testing::Values(EmptyArchiveCase{"EmptyFile", 0, 0, State::Completed, true},
                      EmptyArchiveCase{"EmptyFolder", 1, 0, State::Completed, true},
                      EmptyArchiveCase{"FileWithContent", 0, 10, State::Closed, false}),
    [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------
// Refusal and abort.

class Refusal : public ReceiveFixture, public ::testing::WithParamInterface<bool>
{
};

// Before the data phase (pending, or accepted and waiting for the data header) an Abort
// writes the refusal with the user's comment and closes.
TEST_P(Refusal, AbortBeforeDataWritesTheRefusalWithItsComment)
{
    const bool afterAccept = GetParam();
    auto sender = Sender(Request("big.iso", 0, 1, 5000, 1));
    auto transfer = Open(*sender);
    std::atomic<int> repliesRead{0};
    sender->Start([&](TlsSession& session, ScriptedSender& s) {
        while (s.ReadReply(session))
            ++repliesRead;
    });
    if (afterAccept) {
        transfer->Accept(m_data.file(QStringLiteral("big.iso")));
        ASSERT_EQ(transfer->state(), State::WaitingForData);
        EXPECT_EQ(transfer->outcome().reason, ReceiveReason::None);
        ASSERT_TRUE(WaitUntil([&] { return repliesRead == 1; }));
    }
    const QByteArray reason = QByteArray("Sorry but I'm busy now...") + QByteArray(300, 'x');
    transfer->Abort(reason);
    EXPECT_EQ(transfer->state(), State::Closed);
    sender->Join();

    ASSERT_EQ(sender->replies.size(), afterAccept ? 2u : 1u);
    const ReplyHeader& refusal = sender->replies.back();
    EXPECT_EQ(refusal.accepted, 0);
    EXPECT_EQ(refusal.reason, 2);
    EXPECT_EQ(refusal.comment, reason.left(255));
    EXPECT_EQ(refusal.nickName, QByteArrayLiteral("Bob"));
    EXPECT_EQ(m_downloads.Cell(m_downloads.IdAt(0), TransferListModel::Status),
              QStringLiteral("Aborted"));
    EXPECT_EQ(m_downloads.StateIcon(m_downloads.IdAt(0)), TransferListModel::IconStopped);
    EXPECT_FALSE(QFileInfo::exists(m_data.file(QStringLiteral("big.iso"))));
    ASSERT_TRUE(WaitUntil([&] { return m_hub.closed.size() == 1; }));
}

INSTANTIATE_TEST_SUITE_P(When, Refusal, ::testing::Values(false, true), [](const auto& param) {
    return std::string(param.param ? "WaitingForData" : "Pending");
});

TEST_F(ReceiveFixture, CancelledSaveDialogChangesNothing)
{
    auto sender = Sender(Request("a.txt", 0, 1, 10, 1));
    auto transfer = Open(*sender);
    int answers = 0;
    QObject::connect(transfer.get(), &ReceiveTransfer::answered, transfer.get(),
                     [&] { ++answers; });
    transfer->Accept(QString());
    EXPECT_EQ(transfer->state(), State::Pending);
    EXPECT_TRUE(transfer->view().acceptEnabled);
    EXPECT_EQ(answers, 0);
    transfer->Present(); // a second showing presents nothing anew
    EXPECT_EQ(m_sounds.played.size(), 1u);
}

// Abort in the data phase stops the worker where it stands, keeps the bytes that arrived,
// and Delete Data then removes the partial raw file.
TEST_F(ReceiveFixture, AbortDuringDataKeepsThePartialFileUntilDeleteData)
{
    const QByteArray bytes = Pattern(1024 * 1024);
    auto sender = Sender(Request("movie.avi", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    transfer->SetBandLimit(4); // holds the worker after 8 KiB for the rest of its window
    sender->Start(ScriptedSender::Stream(bytes, true));
    const QString target = m_data.file(QStringLiteral("movie.avi"));
    transfer->Accept(target);
    ASSERT_TRUE(WaitUntil([&] { return transfer->receivedBytes() >= 8192; }));
    ASSERT_EQ(transfer->state(), State::Receiving);

    transfer->Abort("ignored");
    EXPECT_EQ(transfer->state(), State::Interrupted);
    EXPECT_EQ(transfer->view().panel, Panel::Interruption);
    EXPECT_EQ(transfer->view().interruptionText, QStringLiteral("You have aborted this download"));
    EXPECT_TRUE(transfer->view().abortedPictures);
    EXPECT_FALSE(transfer->view().abortEnabled);
    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::Cancelled);
    // Everything received is on disk: the buffer was flushed when the worker stopped.
    EXPECT_EQ(QFileInfo(target).size(), qint64(transfer->receivedBytes()));
    EXPECT_EQ(ReadAll(target), bytes.left(QFileInfo(target).size()));
    sender->Join(); // its writes fail once the session is gone

    transfer->DeleteData();
    EXPECT_EQ(transfer->state(), State::Closed);
    EXPECT_FALSE(QFileInfo::exists(target));
    ASSERT_TRUE(WaitUntil([&] { return m_hub.closed.size() == 1; }));
}

// ---------------------------------------------------------------------------------------
// Failures of the sender or of the disk.

TEST_F(ReceiveFixture, ShortDataHeaderFailsAsConnectionError)
{
    auto sender = Sender(Request("a.bin", 0, 1, 100, 1));
    auto transfer = Open(*sender);
    sender->Start([](TlsSession& session, ScriptedSender& s) {
        if (s.ReadReply(session))
            session.Write("\x02\0\0\0\x01", 5);
    });
    const QString target = m_data.file(QStringLiteral("a.bin"));
    transfer->Accept(target);
    ASSERT_TRUE(WaitForState(*transfer, State::Closed));
    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::NoDataHeader);
    EXPECT_EQ(transfer->view().statusText, ReceiveStatusTexts::Of(transfer->outcome()));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0],
              std::make_pair(QStringLiteral("Connection Error"), QStringLiteral("Socket Error")));
    EXPECT_EQ(m_sounds.played.back(), Sound::Error);
    EXPECT_FALSE(QFileInfo::exists(target)) << "nothing is written before the header";
}

// A stream whose form differs from the request's is refused whether or not it continues a
// partial copy; the partial copy is left as it was.
struct MismatchCase
{
    const char* name;
    std::uint32_t dirCount;
    int requestRaw;
    bool headerRaw;
    bool partialCopy; // a raw destination file to resume
};

class RawFlagMismatch : public ReceiveFixture, public ::testing::WithParamInterface<MismatchCase>
{
};

TEST_P(RawFlagMismatch, FailsWithoutTouchingTheDestination)
{
    const MismatchCase& c = GetParam();
    const QString target = m_data.file(QStringLiteral("doc.pdf"));
    if (c.partialCopy)
        m_data.write(QStringLiteral("doc.pdf"), QByteArrayLiteral("partial"));
    auto sender = Sender(Request("doc.pdf", c.dirCount, 1, 4000, c.requestRaw));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(Pattern(4000), c.headerRaw));
    transfer->Accept(target);
    if (c.partialCopy) {
        ASSERT_EQ(transfer->state(), State::ResumeQuestion);
        transfer->Resume();
    }
    ASSERT_TRUE(WaitForState(*transfer, State::Closed));
    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::DataMismatch);
    EXPECT_EQ(m_boxes.size(), 1u);
    if (c.partialCopy)
        EXPECT_EQ(ReadAll(target), QByteArrayLiteral("partial"));
    else
        EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(TempFiles().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RawFlagMismatch,
                         ::testing::Values(MismatchCase{"ResumedRawGetsArchive", 0, 1, false, true},
                                           MismatchCase{"FreshRawGetsArchive", 0, 1, false, false},
                                           MismatchCase{"FreshArchiveGetsRaw", 0, 0, true, false},
                                           MismatchCase{"DirectoryGetsRaw", 1, 1, true, false}),
                         [](const auto& param) { return std::string(param.param.name); });

// The sender going away mid-stream interrupts the transfer and keeps what arrived.
TEST_F(ReceiveFixture, SenderCutMidStreamInterruptsAndKeepsData)
{
    const QByteArray bytes = Pattern(600000);
    auto sender = Sender(Request("cut.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(bytes, true, 300000));
    const QString target = m_data.file(QStringLiteral("cut.bin"));
    transfer->Accept(target);
    ASSERT_TRUE(WaitForState(*transfer, State::Interrupted));

    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::ConnectionReset);
    EXPECT_EQ(transfer->view().statusText, ReceiveStatusTexts::Of(transfer->outcome()));
    EXPECT_EQ(transfer->view().interruptionText,
              QStringLiteral("A connection error has occurred!"));
    EXPECT_EQ(transfer->view().focus, ReceiveView::Focus::SaveForLaterResume);
    EXPECT_EQ(m_sounds.played.back(), Sound::Error);
    EXPECT_EQ(ReadAll(target), bytes.left(300000));
    EXPECT_TRUE(m_boxes.empty());

    // A raw partial copy stays where it is: nothing enters the cache.
    transfer->SaveForLaterResume();
    EXPECT_EQ(transfer->state(), State::Closed);
    EXPECT_TRUE(m_resumes->entries().empty());
    EXPECT_EQ(ReadAll(target), bytes.left(300000));
}

// A disk that refuses a write interrupts the transfer with a status that says so, and the
// bytes that did reach the disk stay for a resume.
TEST_F(ReceiveFixture, DiskWriteFailureInterruptsWithoutClaimingCompletion)
{
    const QByteArray bytes = Pattern(1024 * 1024);
    auto sender = Sender(Request("huge.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(bytes, true));

    const QString target = m_data.file(QStringLiteral("huge.bin"));
    ASSERT_TRUE(AcceptUnderFileSizeLimit(*transfer, target, 300 * 1024))
        << transfer->view().statusText.toStdString();

    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::DiskWriteError);
    EXPECT_EQ(transfer->view().statusKind, ReceiveView::StatusKind::Failure);
    EXPECT_EQ(m_downloads.Cell(m_downloads.IdAt(0), TransferListModel::Status),
              QStringLiteral("Disk write error"));
    const QByteArray kept = ReadAll(target);
    EXPECT_LE(kept.size(), 300 * 1024);
    EXPECT_EQ(kept, bytes.left(kept.size()));
    transfer->Close();
}

// ---------------------------------------------------------------------------------------
// Band limit: a limit of L Kb/sec lets L x 2048 bytes through per two seconds of the
// transfer's clock, which the worker reads itself: no tick is needed to open a window.

TEST_F(ReceiveFixture, BandLimitLetsOneWindowThroughPerTwoSeconds)
{
    const QByteArray bytes = Pattern(5 * 2048);
    auto sender = Sender(Request("slow.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    std::atomic<std::uint32_t> now{100000};
    transfer->SetClock([&] { return now.load(); });
    transfer->SetBandLimit(1);
    sender->Start(ScriptedSender::Stream(bytes, true));
    transfer->Accept(m_data.file(QStringLiteral("slow.bin")));

    for (std::uint32_t window = 1; window <= 4; ++window) {
        ASSERT_TRUE(WaitUntil([&] { return transfer->receivedBytes() >= window * 2048; }));
        // Given the chance, the worker goes no further within this window.
        WaitUntil([] { return false; }, 100);
        ASSERT_EQ(transfer->receivedBytes(), window * 2048);
        if (window > 1) {
            // The tick at this window's start reads the worker held in it; its first
            // reading also counts the window that passed at the start.
            transfer->ProgressTick();
            EXPECT_EQ(transfer->view().speed,
                      window == 2 ? QStringLiteral("2 Kb/sec") : QStringLiteral("1 Kb/sec"));
            EXPECT_EQ(transfer->view().dataTransferred,
                      QStringLiteral("%1 Kb / 10 Kb").arg(window * 2));
        }
        if (window < 4)
            now += 2000;
    }
    // Lifting the limit lets the rest through at once, without a tick or the window's end.
    transfer->SetBandLimit(0);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    EXPECT_EQ(ReadAll(m_data.file(QStringLiteral("slow.bin"))), bytes);
}

TEST_F(ReceiveFixture, ProgressTickShowsSpeedTimeLeftAndPercentage)
{
    const QByteArray bytes = Pattern(100 * 1024);
    auto sender = Sender(Request("p.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    std::atomic<std::uint32_t> now{5000};
    transfer->SetClock([&] { return now.load(); });
    transfer->SetBandLimit(20); // 40 KiB per two seconds
    sender->Start(ScriptedSender::Stream(bytes, true));
    transfer->Accept(m_data.file(QStringLiteral("p.bin")));
    ASSERT_TRUE(WaitUntil([&] { return transfer->receivedBytes() >= 40 * 1024; }));

    transfer->ProgressTick(); // no whole second has passed: only the amounts change
    EXPECT_EQ(transfer->view().speed, QStringLiteral("N/A"));
    EXPECT_EQ(transfer->view().dataTransferred, QStringLiteral("40 Kb / 100 Kb"));
    now += 4000; // the worker takes one more window and waits in it
    ASSERT_TRUE(WaitUntil([&] { return transfer->receivedBytes() >= 80 * 1024; }));
    WaitUntil([] { return false; }, 100);
    ASSERT_EQ(transfer->receivedBytes(), 80u * 1024);
    transfer->ProgressTick();
    EXPECT_EQ(transfer->view().speed, QStringLiteral("20 Kb/sec"));
    EXPECT_EQ(transfer->view().timeLeft, QStringLiteral("00:00.01"));
    EXPECT_EQ(transfer->view().progressPosition, 80u * 1024);
    EXPECT_EQ(m_downloads.Cell(m_downloads.IdAt(0), TransferListModel::Progress),
              QStringLiteral("80%"));
    EXPECT_EQ(m_downloads.Cell(m_downloads.IdAt(0), TransferListModel::Speed),
              QStringLiteral("20 Kb/sec"));
    transfer->SetBandLimit(0);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
}

// Closing at any stage returns promptly and leaves no temporary archive; the worker posts
// nothing afterwards.
TEST_F(ReceiveFixture, CloseWhileDecompressingCancelsTheComponent)
{
    m_data.write(QStringLiteral("src/big"), QByteArray(64 * 1024 * 1024, 'z'));
    const QByteArray archive = ZipFile(m_data.file(QStringLiteral("src/big")));
    auto sender = Sender(Request("big", 0, 1, 64 * 1024 * 1024, 0));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(archive, false));
    transfer->Accept(m_data.file(QStringLiteral("big")));
    ASSERT_TRUE(WaitUntil([&] {
        return transfer->state() == State::Decompressing || transfer->state() == State::Completed;
    }));
    transfer->Close();
    EXPECT_EQ(transfer->state(), State::Closed);
    EXPECT_TRUE(TempFiles().isEmpty());
    WaitUntil([] { return false; }, 50);
    EXPECT_EQ(transfer->state(), State::Closed);
    EXPECT_EQ(m_hub.closed.size(), 1u);
}

} // namespace

} // namespace vantrel::test
