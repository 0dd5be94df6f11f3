// The send engine against a scripted receiver over loopback TLS: what travels, and what the
// window and the UPLOADS row show at each outcome.
#include "tests/send/sendfixture.h"

#include "net/securechannel.h"
#include "send/sendtexts.h"
#include "send/zipbridgeloader.h"
#include "stats/formatsize.h"
#include "stats/progresstexts.h"
#include "stats/transferprogress.h"
#include "tests/support/filetree.h"
#include "tests/support/testcertificates.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <thread>
#include <vector>

namespace vantrel::test {

namespace {

using State = SendTransfer::State;
using Colour = SendView::Colour;
using Panel = SendView::Panel;
using Col = TransferListModel::Column;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class SendTransferTest : public SendFixture
{
protected:
    QString Cell(const SendTransfer& transfer, Col column) const
    {
        return m_uploads.Cell(transfer.row().id, column);
    }
};

// What a front door learns without reading the window: each change of state and each
// ending, with the outcome and its figures.
TEST_F(SendTransferTest, AnnouncesEachStateAndEndingWithItsOutcome)
{
    const struct
    {
        const char* what;
        ScriptedReceiver::Answer answer;
        std::vector<State> states;
        SendReason reason;
    } cases[] = {
        {"accepted",
         ScriptedReceiver::Answer::Accept,
         {State::Connecting, State::WaitingForArchive, State::Streaming, State::Completed},
         SendReason::Delivered},
        {"refused",
         ScriptedReceiver::Answer::Refuse,
         {State::Connecting, State::Refused},
         SendReason::Refused},
        {"other version",
         ScriptedReceiver::Answer::VersionMismatch,
         {State::Connecting, State::Preparing},
         SendReason::VersionMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = RandomBytes(50000, 9);
        auto transfer = Open(Source(QStringLiteral("told.bin"), bytes));
        transfer->SetCompression(false);
        std::vector<State> states;
        std::vector<SendOutcome> endings;
        QObject::connect(transfer.get(), &SendTransfer::stateChanged, transfer.get(),
                         [&](const SendOutcome& outcome) { states.push_back(outcome.state); });
        QObject::connect(transfer.get(), &SendTransfer::ended, transfer.get(),
                         [&](const SendOutcome& outcome) { endings.push_back(outcome); });
        ScriptedReceiver::Script script;
        script.answer = c.answer;
        script.comment = QByteArrayLiteral("busy");
        auto receiver = Receiver(script);
        SendTo(*transfer, *receiver);
        ASSERT_TRUE(WaitUntil([&] { return !endings.empty(); }));
        EXPECT_EQ(states, c.states);
        ASSERT_EQ(endings.size(), 1u);
        const SendOutcome& ending = endings.front();
        EXPECT_EQ(ending.state, c.states.back());
        EXPECT_EQ(ending.reason, c.reason);
        EXPECT_EQ(ending.sourcePath, transfer->sourcePath());
        EXPECT_EQ(ending.totalSize, 50000u);
        if (c.reason == SendReason::Delivered) {
            EXPECT_EQ(ending.sentBytes, 50000u);
            EXPECT_EQ(ending.streamBytes, 50000u);
            EXPECT_EQ(ending.hostText, QStringLiteral("127.0.0.1"));
            EXPECT_EQ(ending.peerNickName, QStringLiteral("Bob"));
        }
        if (c.reason == SendReason::Refused) {
            EXPECT_EQ(ending.refusalComment, QStringLiteral("busy"));
        }

        // Closing is an ending of its own that keeps what the attempt ended with.
        transfer->Close();
        EXPECT_EQ(states.back(), State::Closed);
        ASSERT_EQ(endings.size(), 2u);
        EXPECT_EQ(endings.back().reason, c.reason);
    }
}

TEST_F(SendTransferTest, SendAgainStartsAFreshOutcomeAndAnEarlyCloseIsACancel)
{
    auto transfer = Open(Source(QStringLiteral("again.bin"), RandomBytes(3000, 4)));
    transfer->SetCompression(false);
    ScriptedReceiver::Script script;
    script.answer = ScriptedReceiver::Answer::Refuse;
    auto receiver = Receiver(script);
    SendTo(*transfer, *receiver);
    ASSERT_TRUE(WaitUntil([&] { return transfer->view().panel == Panel::Refused; }));
    ASSERT_TRUE(transfer->Settled());

    transfer->SendAgain();
    EXPECT_EQ(transfer->state(), State::Preparing);
    EXPECT_EQ(transfer->outcome().reason, SendReason::None);
    EXPECT_FALSE(transfer->Settled()) << "it waits for SEND like a fresh send";

    std::vector<SendOutcome> endings;
    QObject::connect(transfer.get(), &SendTransfer::ended, transfer.get(),
                     [&](const SendOutcome& outcome) { endings.push_back(outcome); });
    transfer->Abort();
    ASSERT_EQ(endings.size(), 1u);
    EXPECT_EQ(endings.front().state, State::Closed);
    EXPECT_EQ(endings.front().reason, SendReason::Cancelled);
}

TEST_F(SendTransferTest, RawFileArrivesByteIdenticalWithTheRequestFields)
{
    const struct
    {
        const char* name;
        int size;
    } cases[] = {
        {"empty.bin", 0}, {"one.bin", 1}, {"block.bin", 1024}, {"odd.bin", 300 * 1024 + 123}};

    std::uint32_t uploaded = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = RandomBytes(c.size, static_cast<unsigned>(c.size));
        auto transfer = Open(Source(QString::fromLatin1(c.name), bytes));
        ASSERT_EQ(transfer->view().pathLabel, QStringLiteral("File to Send"));
        ASSERT_EQ(transfer->view().totalSize, FormatSizeFixed(static_cast<std::uint32_t>(c.size)));
        EXPECT_EQ(Cell(*transfer, Col::FileName), QString::fromLatin1(c.name));
        EXPECT_EQ(m_uploads.FileIcon(transfer->row().id), QString::fromLatin1(c.name));
        transfer->SetCompression(false);
        EXPECT_TRUE(transfer->archivePath().isEmpty());

        auto receiver = Receiver();
        SendTo(*transfer, *receiver, QStringLiteral("holiday photos"));
        ASSERT_TRUE(WaitForState(*transfer, State::Completed))
            << transfer->view().statusText.toStdString();
        ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));

        const RequestHeader& request = *receiver->request();
        EXPECT_EQ(request.nickName, QByteArrayLiteral("Alice"));
        EXPECT_EQ(request.fileName, QByteArray(c.name));
        EXPECT_EQ(request.comment, QByteArrayLiteral("holiday photos"));
        EXPECT_EQ(request.dirCount, 0u);
        EXPECT_EQ(request.fileCount, 1u);
        EXPECT_EQ(request.totalSize, static_cast<std::uint32_t>(c.size));
        EXPECT_EQ(request.senderPort, 4321);
        EXPECT_EQ(request.rawFlag, 1);
        ASSERT_TRUE(receiver->dataHeader());
        EXPECT_EQ(receiver->dataHeader()->rawFlag, 1);
        EXPECT_EQ(receiver->dataHeader()->streamSize, static_cast<std::uint32_t>(c.size));
        EXPECT_EQ(receiver->data(), bytes);
        EXPECT_TRUE(receiver->endedCleanly());

        const SendView& view = transfer->view();
        EXPECT_EQ(transfer->outcome().reason, SendReason::Delivered);
        EXPECT_EQ(view.statusColour, Colour::Done);
        EXPECT_EQ(view.panel, Panel::Completed);
        EXPECT_FALSE(view.abortEnabled);
        EXPECT_EQ(view.caption, QStringLiteral("Sending File to Bob"));
        EXPECT_EQ(view.compressionInfo, QStringLiteral("Disabled"));
        EXPECT_EQ(Cell(*transfer, Col::Host), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(Cell(*transfer, Col::NickName), QStringLiteral("Bob"));
        EXPECT_EQ(Cell(*transfer, Col::Status), QStringLiteral("Completed"));
        EXPECT_EQ(m_uploads.StateIcon(transfer->row().id), TransferListModel::IconSendCompleted);
        EXPECT_EQ(m_sounds.played.back(), Sound::Complete);
        uploaded += static_cast<std::uint32_t>(c.size);
    }
    EXPECT_EQ(m_counters.TakeAndReset().uploadBytes, uploaded);
    // An accepted direct send is remembered with the port it used.
    EXPECT_TRUE(m_recent->LoadRecentHosts().value(0).startsWith(QStringLiteral("127.0.0.1:")));
    EXPECT_TRUE(m_recent->LoadRecentHosts().value(0).endsWith(QStringLiteral(" (Bob)")));
}

TEST_F(SendTransferTest, CompressedSourcesTravelAsArchivesThatUnpackToTheSource)
{
    m_data.write(QStringLiteral("tree/a.txt"), TextBytes(50000));
    m_data.write(QStringLiteral("tree/sub/b.bin"), RandomBytes(3000));
    m_data.write(QStringLiteral("tree/sub/deeper/empty.txt"), {});
    QDir().mkpath(m_data.file(QStringLiteral("tree/emptydir")));
    QDir().mkpath(m_data.file(QStringLiteral("bare")));
    Source(QStringLiteral("text.txt"), TextBytes(200000));
    Source(QStringLiteral("nothing.txt"), {});

    const struct
    {
        const char* name;
        bool directory;
        std::uint32_t dirs;
        std::uint32_t files;
        bool streamed; // a stored single file's archive is produced while it is sent
    } cases[] = {{"text.txt", false, 0, 1, false},
                 {"nothing.txt", false, 0, 1, true},
                 {"tree", true, 4, 3, false},
                 {"bare", true, 1, 0, false}};

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = m_data.file(QString::fromLatin1(c.name));
        auto transfer = Open(source);
        const SendView& view = transfer->view();
        EXPECT_TRUE(view.compressionOn);
        EXPECT_EQ(view.compressionToggleEnabled, !c.directory);
        EXPECT_EQ(view.pathLabel, c.directory ? QStringLiteral("Directory to Send")
                                              : QStringLiteral("File to Send"));
        EXPECT_EQ(transfer->dirCount(), c.dirs);
        EXPECT_EQ(transfer->fileCount(), c.files);
        EXPECT_EQ(Cell(*transfer, Col::Dirs), QString::number(c.dirs));
        EXPECT_EQ(m_uploads.FileIcon(transfer->row().id),
                  c.directory ? QStringLiteral("folder") : QString::fromLatin1(c.name));
        const QString archive = transfer->archivePath();
        EXPECT_TRUE(QFileInfo(archive).fileName().startsWith(QStringLiteral("VN")));

        auto receiver = Receiver();
        SendTo(*transfer, *receiver);
        ASSERT_TRUE(WaitForState(*transfer, State::Completed)) << view.statusText.toStdString();
        ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));
        EXPECT_EQ(receiver->request()->rawFlag, 0);
        EXPECT_EQ(receiver->request()->dirCount, c.dirs);
        EXPECT_EQ(receiver->dataHeader()->rawFlag, 0);
        // The bytes the component writes for the source, whether written here or not.
        EXPECT_EQ(QFile::exists(archive), !c.streamed);
        QByteArray expected;
        if (c.streamed) {
            const QString written = m_peer.file(QStringLiteral("written.zip"));
            std::uint32_t progress = 0, unused = 0, cancel = 0;
            ASSERT_EQ(zip()->ZipSingleFile(QFile::encodeName(written).constData(),
                                           QFile::encodeName(source).constData(), &progress,
                                           &unused, &cancel),
                      0);
            expected = ReadAll(written);
        } else {
            expected = ReadAll(archive);
        }
        EXPECT_EQ(receiver->dataHeader()->streamSize, static_cast<std::uint32_t>(expected.size()));
        EXPECT_EQ(receiver->data(), expected);
        EXPECT_TRUE(receiver->endedCleanly());
        EXPECT_EQ(view.compressionInfo,
                  ProgressTexts::Efficiency(TransferProgress::EfficiencyPercent(
                      transfer->totalSize(), static_cast<std::uint32_t>(expected.size()))));
        if (transfer->totalSize() == 0) {
            EXPECT_EQ(view.compressionInfo, QStringLiteral("00% Efficiency"));
        }

        // The bytes received make an archive that unpacks to the source.
        const QString received = m_peer.file(QStringLiteral("received.zip"));
        QFile out(received);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(receiver->data());
        out.close();
        std::uint32_t progress = 0;
        std::uint32_t cancel = 0;
        const QString target = m_peer.file(QStringLiteral("out-") + QString::fromLatin1(c.name));
        if (c.directory)
            QDir().mkpath(target);
        ASSERT_EQ(zip()->Unpack(c.directory, QFile::encodeName(received).constData(),
                                QFile::encodeName(target).constData(), &progress, &cancel,
                                std::numeric_limits<std::uint64_t>::max()),
                  ArchiveUnpacker::Result::Ok);
        if (c.directory)
            EXPECT_EQ(TreeOf(target), TreeOf(source));
        else
            EXPECT_EQ(ReadAll(target), ReadAll(source));
        transfer->Close();
        EXPECT_FALSE(QFile::exists(archive)) << "the archive goes with the transfer";
    }
}

TEST_F(SendTransferTest, RefusalShowsTheCommentAndKeepsSendDisabled)
{
    auto transfer = Open(Source(QStringLiteral("f.txt"), TextBytes(5000)));
    ScriptedReceiver::Script script;
    script.answer = ScriptedReceiver::Answer::Refuse;
    script.nickName = QByteArrayLiteral("Carol");
    script.comment = QByteArrayLiteral("not today, thanks");
    auto receiver = Receiver(script);
    int broughtToFront = 0;
    QObject::connect(transfer.get(), &SendTransfer::bringToFront, transfer.get(),
                     [&] { ++broughtToFront; });

    SendTo(*transfer, *receiver);
    ASSERT_TRUE(WaitUntil([&] { return transfer->view().panel == Panel::Refused; }));
    const SendView& view = transfer->view();
    EXPECT_EQ(transfer->state(), State::Refused);
    EXPECT_EQ(transfer->outcome().reason, SendReason::Refused);
    EXPECT_EQ(transfer->outcome().peerNickName, QStringLiteral("Carol"));
    EXPECT_EQ(transfer->outcome().refusalComment, QStringLiteral("not today, thanks"));
    EXPECT_EQ(view.statusColour, Colour::Failure);
    EXPECT_EQ(view.refusalLabel, QStringLiteral("Comment from Carol"));
    EXPECT_EQ(view.refusalComment, QStringLiteral("not today, thanks"));
    EXPECT_FALSE(view.sendEnabled);
    EXPECT_FALSE(view.abortEnabled);
    EXPECT_FALSE(view.compressionToggleEnabled);
    EXPECT_EQ(broughtToFront, 1);
    EXPECT_EQ(Cell(*transfer, Col::Status), QStringLiteral("Refused"));
    EXPECT_EQ(Cell(*transfer, Col::NickName), QStringLiteral("Carol"));
    EXPECT_EQ(Cell(*transfer, Col::Host), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(m_sounds.Count(Sound::Error), 1);
    EXPECT_TRUE(m_recent->LoadRecentHosts().isEmpty()) << "only accepted sends are remembered";

    // Send does nothing here; SendAgain leads back to the request panel.
    SendTo(*transfer, *receiver);
    EXPECT_EQ(transfer->state(), State::Refused);
    transfer->SendAgain();
    EXPECT_EQ(transfer->state(), State::Preparing);
    EXPECT_EQ(view.panel, Panel::Request);
    EXPECT_TRUE(view.sendEnabled);
    EXPECT_TRUE(view.abortEnabled);
}

TEST_F(SendTransferTest, FailuresBeforeAcceptanceReturnToPreparingWithSendEnabled)
{
    TempFolder stranger;
    ASSERT_TRUE(testcertificates::WriteServerFiles(
        stranger.path(), testcertificates::NewAuthority(QStringLiteral("Stranger CA"))));

    enum class Peer
    {
        Scripted,
        Untrusted,
        Nobody,
        NoHost
    };
    const struct
    {
        const char* what;
        Peer peer;
        ScriptedReceiver::Answer answer;
        SendReason reason;
    } cases[] = {
        {"version mismatch", Peer::Scripted, ScriptedReceiver::Answer::VersionMismatch,
         SendReason::VersionMismatch},
        {"closed without reply", Peer::Scripted, ScriptedReceiver::Answer::CloseWithoutReply,
         SendReason::ConnectionReset},
        {"untrusted certificate", Peer::Untrusted, ScriptedReceiver::Answer::Accept,
         SendReason::NotTrusted},
        {"nobody listening", Peer::Nobody, ScriptedReceiver::Answer::Accept,
         SendReason::Unreachable},
        {"no host name", Peer::NoHost, ScriptedReceiver::Answer::Accept, SendReason::Unresolved},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_sounds.played.clear();
        auto transfer = Open(Source(QStringLiteral("f.txt"), TextBytes(5000)));
        ScriptedReceiver::Script script;
        script.answer = c.answer;
        std::unique_ptr<ScriptedReceiver> receiver;
        QString host;
        if (c.peer == Peer::Scripted || c.peer == Peer::Nobody) {
            receiver = Receiver(script);
            host = receiver->hostText();
            if (c.peer == Peer::Nobody)
                receiver.reset(); // the port is closed again
        } else if (c.peer == Peer::Untrusted) {
            receiver = std::make_unique<ScriptedReceiver>(stranger.path(), script);
            host = receiver->hostText();
        } else {
            host = QStringLiteral(":12666 (Nobody)");
        }

        SendInputs inputs;
        inputs.hostText = host;
        transfer->Send(inputs);
        EXPECT_EQ(transfer->state(), State::Connecting);
        EXPECT_FALSE(transfer->view().sendEnabled);
        EXPECT_EQ(m_uploads.StateIcon(transfer->row().id), TransferListModel::IconWaiting);
        ASSERT_TRUE(WaitForState(*transfer, State::Preparing));
        const SendView& view = transfer->view();
        EXPECT_EQ(transfer->outcome().reason, c.reason);
        EXPECT_TRUE(transfer->Settled());
        EXPECT_EQ(view.statusColour, Colour::Failure);
        EXPECT_TRUE(view.sendEnabled);
        EXPECT_FALSE(view.compressionToggleEnabled) << "compression stays as it was sent";
        // An untrusted receiver's certificate is shown, to be trusted or not.
        EXPECT_EQ(view.panel, c.peer == Peer::Untrusted ? Panel::Trust : Panel::Request);
        EXPECT_EQ(m_sounds.Count(Sound::Error), 1);
        EXPECT_EQ(Cell(*transfer, Col::Host), QStringLiteral("N/A"));
        EXPECT_EQ(Cell(*transfer, Col::Status), QStringLiteral("-"));
        if (receiver) {
            ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));
            EXPECT_FALSE(receiver->dataHeader());
            if (c.peer == Peer::Untrusted) {
                EXPECT_FALSE(receiver->request()) << "nothing is written to an untrusted peer";
            }
        }
    }
}

TEST_F(SendTransferTest, ResumeSendsOnlyTheRestOfTheStream)
{
    const QByteArray bytes = RandomBytes(5000, 7);
    const struct
    {
        std::uint32_t offset;
        State outcome;
    } cases[] = {{1000, State::Completed},
                 {4999, State::Completed},
                 {5000, State::Completed},
                 {5001, State::Broken}};

    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        auto transfer = Open(Source(QStringLiteral("resume.bin"), bytes));
        transfer->SetCompression(false);
        ScriptedReceiver::Script script;
        script.resumeOffset = c.offset;
        auto receiver = Receiver(script);
        SendTo(*transfer, *receiver);
        ASSERT_TRUE(WaitForState(*transfer, c.outcome))
            << transfer->view().statusText.toStdString();
        ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));
        if (c.outcome == State::Completed) {
            EXPECT_EQ(receiver->dataHeader()->streamSize, 5000u) << "the whole length is announced";
            EXPECT_EQ(receiver->data(), bytes.mid(static_cast<qsizetype>(c.offset)));
            EXPECT_TRUE(receiver->endedCleanly());
            EXPECT_EQ(m_counters.TakeAndReset().uploadBytes, 5000u - c.offset);
        } else {
            // A peer holding more than there is cannot hold this data: nothing is sent.
            EXPECT_FALSE(receiver->dataHeader());
            EXPECT_EQ(transfer->view().statusColour, Colour::Failure);
        }
    }
}

TEST_F(SendTransferTest, SourceThatVanishesOrShrinksEndsBroken)
{
    const QByteArray bytes = RandomBytes(200000, 3);
    const struct
    {
        const char* what;
        std::function<void(const QString&)> change;
        SendReason reason;
    } cases[] = {
        {"deleted", [](const QString& path) { QFile::remove(path); }, SendReason::SourceUnreadable},
        {"truncated", [](const QString& path) { ::truncate(QFile::encodeName(path), 70000); },
         SendReason::SourceShrank},
        {"emptied", [](const QString& path) { ::truncate(QFile::encodeName(path), 0); },
         SendReason::SourceShrank},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_sounds.played.clear();
        const QString path = Source(QStringLiteral("moving.bin"), bytes);
        auto transfer = Open(path);
        transfer->SetCompression(false);
        ScriptedReceiver::Script script;
        script.beforeReply = [&] { c.change(path); };
        auto receiver = Receiver(script);
        SendTo(*transfer, *receiver);
        ASSERT_TRUE(WaitForState(*transfer, State::Broken))
            << transfer->view().statusText.toStdString();
        const SendView& view = transfer->view();
        EXPECT_EQ(transfer->outcome().reason, c.reason) << view.statusText.toStdString();
        EXPECT_TRUE(view.statusText.contains(path)) << "the status line names the source";
        EXPECT_EQ(view.statusColour, Colour::Failure);
        EXPECT_EQ(view.panel, Panel::Error);
        EXPECT_FALSE(view.sendEnabled);
        EXPECT_FALSE(view.abortEnabled);
        EXPECT_EQ(Cell(*transfer, Col::Status), QStringLiteral("Connection error"));
        EXPECT_EQ(Cell(*transfer, Col::Speed), QStringLiteral("-"));
        EXPECT_EQ(m_uploads.StateIcon(transfer->row().id), TransferListModel::IconWaiting);
        EXPECT_EQ(m_sounds.Count(Sound::Error), 1);
        ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));
        EXPECT_LT(receiver->data().size(), bytes.size());

        // Abort from the error panel keeps the row's status.
        transfer->Abort();
        EXPECT_EQ(Cell(*transfer, Col::Status), QStringLiteral("Connection error"));
        EXPECT_EQ(m_uploads.StateIcon(transfer->row().id), TransferListModel::IconStopped);
    }
}

TEST_F(SendTransferTest, SourcesThatCannotBeDescribedAreRefusedAtFirstShow)
{
    // Sparse files: 4 GiB of size without the disk space.
    const QString big = Source(QStringLiteral("big.bin"), {});
    ASSERT_EQ(::truncate(QFile::encodeName(big), std::int64_t{1} << 32), 0);
    m_data.write(QStringLiteral("bigtree/small.txt"), "x");
    const QString inTree = m_data.file(QStringLiteral("bigtree/huge.bin"));
    QFile(inTree).open(QIODevice::WriteOnly);
    ASSERT_EQ(::truncate(QFile::encodeName(inTree), (std::int64_t{1} << 32) - 1), 0);
    const QString fifo = m_data.file(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo), 0600), 0);

    const struct
    {
        QString path;
        SendReason reason;
        const char* status;
        const char* sizeText;
    } cases[] = {
        {big, SendReason::TooLarge, "Status: Too large to send (4 GB or more)", "4096.00 Mb"},
        {m_data.file(QStringLiteral("bigtree")), SendReason::TooLarge,
         "Status: Too large to send (4 GB or more)", "4096.00 Mb"},
        {fifo, SendReason::NotSendable, "Status: Only regular files and directories can be sent",
         "0 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        m_sounds.played.clear();
        auto transfer = Open(c.path);
        const SendView& view = transfer->view();
        EXPECT_EQ(transfer->outcome().reason, c.reason);
        EXPECT_TRUE(transfer->Settled());
        // These words are the transfer's own, not a lower layer's.
        EXPECT_EQ(view.statusText, QString::fromLatin1(c.status));
        EXPECT_EQ(view.statusColour, Colour::Failure);
        EXPECT_EQ(view.totalSize, QString::fromLatin1(c.sizeText));
        EXPECT_FALSE(view.sendEnabled);
        EXPECT_FALSE(view.compressionToggleEnabled);
        EXPECT_TRUE(transfer->archivePath().isEmpty()) << "nothing is compressed";
        EXPECT_EQ(m_sounds.Count(Sound::Error), 1);

        SendInputs inputs;
        inputs.hostText = QStringLiteral("127.0.0.1:1");
        transfer->Send(inputs);
        EXPECT_EQ(transfer->state(), State::Preparing) << "nothing is sent";
    }
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(SendTransferTest, MissingPathSaysSoAndCloses)
{
    const RowRef row{&m_uploads, m_uploads.InsertTop(nullptr, QStringLiteral("N/A"))};
    SendTransfer transfer(m_services, m_data.file(QStringLiteral("gone.txt")), row);
    QString text, title;
    QObject::connect(&transfer, &SendTransfer::messageBox, &transfer,
                     [&](const QString& t, const QString& c) {
                         text = t;
                         title = c;
                     });
    transfer.FirstShow();
    EXPECT_EQ(text, QStringLiteral("Unable to Find that Path"));
    EXPECT_EQ(title, QStringLiteral("Init Error!"));
    EXPECT_EQ(transfer.state(), State::Closed);
    ASSERT_TRUE(WaitUntil([&] { return !m_hub.closed.empty(); }));
    EXPECT_EQ(m_hub.closed.front(), &transfer);
}

TEST_F(SendTransferTest, TunnelSendUsesTheTakenSessionAndRemembersNoHost)
{
    // No tunnel left for the host: the attempt ends at once.
    QStringList asked;
    m_services.takeTunnel = [&](const QString& host) {
        asked << host;
        return std::unique_ptr<TlsSession>();
    };
    auto transfer = Open(Source(QStringLiteral("t.txt"), TextBytes(20000)));
    int refreshes = 0;
    QObject::connect(transfer.get(), &SendTransfer::refreshTunnelChoices, transfer.get(),
                     [&] { ++refreshes; });
    SendInputs inputs;
    inputs.direct = false;
    inputs.tunnelText = QStringLiteral("pc1 (Ann)");
    transfer->Send(inputs);
    EXPECT_EQ(asked, QStringList{QStringLiteral("pc1")});
    EXPECT_EQ(transfer->outcome().reason, SendReason::TunnelClosed);
    EXPECT_EQ(transfer->view().statusText, QStringLiteral("Status: Tunnel Closed "));
    EXPECT_EQ(transfer->view().statusColour, Colour::Failure);
    EXPECT_TRUE(transfer->view().sendEnabled);
    EXPECT_EQ(transfer->state(), State::Preparing);
    EXPECT_EQ(refreshes, 1);

    // A tunnel: this side is the TLS server of the session, the receiver its client.
    ScriptedReceiver::Script accepting;
    // The receiver's end is opened with a plain client handshake to a one-shot listener.
    TempFolder tunnelPeer;
    ASSERT_TRUE(testcertificates::WriteProfileCertificates(tunnelPeer.path()));
    std::unique_ptr<TlsSession> senderSide;
    std::unique_ptr<TlsSession> receiverSide;
    {
        auto server =
            SecureChannel::CreateServerContext(m_profile.file(QStringLiteral("servercert.pem")),
                                               m_profile.file(QStringLiteral("serverkey.pem")));
        ASSERT_TRUE(server);
        const int listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listenFd, 1), 0);
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
        std::thread client([&] {
            auto context = SecureChannel::CreateClientContext();
            auto result = SecureChannel::ConnectSession(
                *context, tunnelPeer.file(QStringLiteral("clientcalist.pem")), 0x7F000001,
                ntohs(address.sin_port), {});
            receiverSide = std::move(result.session);
        });
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        senderSide = SecureChannel::AcceptSession(*server, fd);
        client.join();
        ::close(listenFd);
    }
    ASSERT_TRUE(senderSide && receiverSide);
    auto receiver = std::make_unique<ScriptedReceiver>(std::move(receiverSide), accepting);
    m_services.takeTunnel = [&](const QString& host) {
        asked << host;
        return std::move(senderSide);
    };
    auto tunnelled = Open(Source(QStringLiteral("t.txt"), TextBytes(20000)));
    tunnelled->Send(inputs);
    ASSERT_TRUE(WaitForState(*tunnelled, State::Completed))
        << tunnelled->view().statusText.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));
    EXPECT_EQ(receiver->request()->fileName, QByteArrayLiteral("t.txt"));
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(tunnelled->view().caption, QStringLiteral("Sending File to Bob"));
    EXPECT_EQ(Cell(*tunnelled, Col::Host), QStringLiteral("pc1"));
    EXPECT_TRUE(m_recent->LoadRecentHosts().isEmpty()) << "a tunnel send adds no recent host";
}

} // namespace vantrel::test
