// The send engine's lifecycle: pacing, closing in every state, sending again, the
// compression toggle and the dynamic DNS question.
#include "tests/send/sendfixture.h"

#include "net/workerstop.h"
#include "netutil/hostlookup.h"

#include <QFile>
#include <QThread>

#include <ostream>
#include <string>

#include <unistd.h>

#include <atomic>

namespace vantrel::test {

namespace {

using State = SendTransfer::State;
using Panel = SendView::Panel;
using Col = TransferListModel::Column;

// Lets the event loop and the workers run for a short while.
void Settle(int ms = 150)
{
    WaitUntil([] { return false; }, ms);
}

} // namespace

class SendLifecycleTest : public SendFixture
{
protected:
    // A source that keeps the compressor busy for a good while (a sparse file of zeros).
    QString SlowToCompress()
    {
        const QString path = Source(QStringLiteral("slow.bin"), {});
        EXPECT_EQ(::truncate(QFile::encodeName(path), std::int64_t{3} << 30), 0);
        return path;
    }
};

TEST_F(SendLifecycleTest, BandLimitLetsOneWindowThroughPerTwoSeconds)
{
    std::atomic<std::uint32_t> now{50000};
    const QByteArray bytes = RandomBytes(102400, 11);
    auto transfer = Open(Source(QStringLiteral("paced.bin"), bytes));
    transfer->SetClock([&] { return now.load(); });
    transfer->SetCompression(false);
    transfer->SetBandLimit(10); // 10 Kb/sec: 20480 bytes per two seconds
    auto receiver = Receiver();
    SendTo(*transfer, *receiver);

    // The tick at a window's start reads the worker held in it; its first reading also
    // counts the window that passed at the start.
    const struct
    {
        const char* speed;
        const char* data;
        const char* timeLeft;
        const char* percent;
    } ticks[] = {
        {"", "", "", ""}, // the data phase's start: no tick
        {"20.00 Kb/sec", "40.00 Kb / 100.00 Kb", "00:00.03", "40%"},
        {"10.00 Kb/sec", "60.00 Kb / 100.00 Kb", "00:00.04", "60%"},
        {"10.00 Kb/sec", "80.00 Kb / 100.00 Kb", "00:00.02", "80%"},
    };
    for (std::uint32_t window = 1; window <= 4; ++window) {
        SCOPED_TRACE(window);
        const std::uint32_t allowed = window * 20480;
        // The paused sender has flushed what it wrote: the receiver has it all.
        ASSERT_TRUE(WaitUntil([&] { return receiver->receivedBytes() == allowed; }));
        Settle();
        EXPECT_EQ(transfer->sentBytes(), allowed);
        EXPECT_EQ(receiver->receivedBytes(), allowed);
        if (window > 1) {
            transfer->ProgressTick();
            const SendView& view = transfer->view();
            const auto& tick = ticks[window - 1];
            EXPECT_EQ(view.speed, QLatin1String(tick.speed));
            EXPECT_EQ(view.dataText, QLatin1String(tick.data));
            EXPECT_EQ(view.timeLeft, QLatin1String(tick.timeLeft));
            EXPECT_EQ(m_uploads.Cell(transfer->row().id, Col::Speed), view.speed);
            EXPECT_EQ(m_uploads.Cell(transfer->row().id, Col::Progress),
                      QLatin1String(tick.percent));
        }
        if (window < 4)
            now += 2000; // the worker's own clock ends the window, no tick needed
    }
    // A tick that comes too soon (under a second) changes no speed and opens no window.
    now += 500;
    transfer->ProgressTick();
    Settle();
    EXPECT_EQ(transfer->sentBytes(), 4u * 20480);

    transfer->SetBandLimit(0);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));
    EXPECT_EQ(receiver->data(), bytes);
}

// Where a transfer stands when it is closed or aborted.
enum class Setup
{
    Compressing,      // a source that keeps the compressor busy
    Connecting,       // a peer that reads the request and never replies
    StreamingStalled, // a peer that accepts and then stops reading
    StreamingPaused,  // a band limit of 1 Kb/sec
};

struct EndCase
{
    const char* name;
    Setup setup;
    bool send; // sent to a receiver before the end
    bool abort;
    State before;
};

void PrintTo(const EndCase& c, std::ostream* out)
{
    *out << c.name;
}

std::string CaseName(const ::testing::TestParamInfo<EndCase>& param)
{
    return param.param.name;
}

class SendEndTest : public SendLifecycleTest, public ::testing::WithParamInterface<EndCase>
{
};

TEST_P(SendEndTest, AbortAndCloseReturnAndLeaveNothingBehind)
{
    const EndCase& c = GetParam();
    std::unique_ptr<SendTransfer> transfer;
    std::unique_ptr<ScriptedReceiver> receiver;
    ScriptedReceiver::Script script;
    switch (c.setup) {
    case Setup::Compressing:
        transfer = Open(SlowToCompress());
        break;
    case Setup::Connecting:
        transfer = Open(Source(QStringLiteral("c.txt"), TextBytes(1000)));
        script.answer = ScriptedReceiver::Answer::NeverReply;
        break;
    case Setup::StreamingStalled: {
        // Bigger than what the socket buffers hold, so that the writer blocks.
        const QString path = Source(QStringLiteral("s.bin"), {});
        ASSERT_EQ(::truncate(QFile::encodeName(path), 64 << 20), 0);
        transfer = Open(path);
        transfer->SetCompression(false);
        script.answer = ScriptedReceiver::Answer::AcceptThenStall;
        break;
    }
    case Setup::StreamingPaused:
        transfer = Open(Source(QStringLiteral("p.bin"), RandomBytes(200000)));
        transfer->SetCompression(false);
        transfer->SetBandLimit(1);
        break;
    }
    const QString archive = transfer->archivePath();
    if (c.send) {
        receiver = Receiver(script);
        SendTo(*transfer, *receiver);
        ASSERT_TRUE(WaitForState(*transfer, c.before));
        if (c.setup == Setup::Connecting) {
            ASSERT_TRUE(WaitUntil([&] { return receiver->requestRead(); }));
        }
        if (c.setup == Setup::StreamingStalled || c.setup == Setup::StreamingPaused) {
            ASSERT_TRUE(WaitUntil([&] { return transfer->sentBytes() >= 2048; }));
        }
    }
    Settle(50);
    ASSERT_EQ(transfer->state(), c.before);

    if (c.abort)
        transfer->Abort();
    else
        transfer->Close();
    EXPECT_EQ(transfer->state(), State::Closed);
    EXPECT_FALSE(transfer->view().sendEnabled);
    EXPECT_FALSE(transfer->view().abortEnabled);
    if (!archive.isEmpty()) {
        EXPECT_FALSE(QFile::exists(archive)) << "the archive is deleted";
    }
    if (c.abort) {
        EXPECT_EQ(m_uploads.Cell(transfer->row().id, Col::Status), QStringLiteral("Aborted"));
        EXPECT_EQ(m_uploads.StateIcon(transfer->row().id), TransferListModel::IconStopped);
    }
    ASSERT_TRUE(WaitUntil([&] { return m_hub.closed.size() == 1; }));
    EXPECT_EQ(m_hub.closed.front(), transfer.get());
    if (receiver) {
        receiver->Release();
        // The peer sees its connection end.
        ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));
    }
    // Nothing more arrives once closed.
    const SendView after = transfer->view();
    Settle(100);
    EXPECT_EQ(transfer->view().statusText, after.statusText);
    transfer->Close(); // a second close changes nothing
    EXPECT_EQ(m_hub.closed.size(), 1u);
    EXPECT_TRUE(TempFiles().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryState, SendEndTest,
    ::testing::Values(
        EndCase{"PreparingClosed", Setup::Compressing, false, false, State::Preparing},
        EndCase{"PreparingAborted", Setup::Compressing, false, true, State::Preparing},
        EndCase{"ConnectingToASilentPeerAborted", Setup::Connecting, true, true, State::Connecting},
        EndCase{"AcceptedArchiveNotReadyClosed", Setup::Compressing, true, false,
                State::WaitingForArchive},
        EndCase{"StreamingToAStalledPeerAborted", Setup::StreamingStalled, true, true,
                State::Streaming},
        EndCase{"StreamingPausedByTheBandLimitClosed", Setup::StreamingPaused, true, false,
                State::Streaming}),
    CaseName);

TEST_F(SendLifecycleTest, SendAgainAfterCompletionStartsANewRowAndReusesTheArchive)
{
    auto transfer = Open(Source(QStringLiteral("again.txt"), TextBytes(80000)));
    const auto firstRow = transfer->row().id;
    const QString archive = transfer->archivePath();
    auto first = Receiver();
    SendTo(*transfer, *first);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    ASSERT_TRUE(WaitUntil([&] { return first->finished(); }));

    transfer->SendAgain();
    EXPECT_EQ(transfer->state(), State::Preparing);
    EXPECT_EQ(transfer->view().panel, Panel::Request);
    EXPECT_TRUE(transfer->view().sendEnabled);
    EXPECT_TRUE(transfer->view().abortEnabled);
    ASSERT_EQ(m_uploads.rowCount(), 2);
    const auto secondRow = transfer->row().id;
    EXPECT_NE(secondRow, firstRow);
    EXPECT_EQ(m_uploads.IdAt(0), secondRow) << "the new row goes to the top";
    EXPECT_EQ(m_uploads.Cell(firstRow, Col::Status), QStringLiteral("Completed"));
    EXPECT_FALSE(m_uploads.IsActive(m_uploads.RowOf(firstRow)));
    EXPECT_TRUE(m_uploads.IsActive(m_uploads.RowOf(secondRow)));
    for (const auto column : {Col::FileName, Col::Dirs, Col::Files, Col::Size})
        EXPECT_EQ(m_uploads.Cell(secondRow, column), m_uploads.Cell(firstRow, column));
    EXPECT_EQ(m_uploads.FileIcon(secondRow), QStringLiteral("again.txt"));
    for (const auto column : {Col::NickName, Col::Status, Col::Speed, Col::Progress})
        EXPECT_EQ(m_uploads.Cell(secondRow, column), QStringLiteral("-"));
    EXPECT_EQ(m_uploads.Cell(secondRow, Col::Host), QStringLiteral("N/A"));

    auto second = Receiver();
    SendTo(*transfer, *second);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    ASSERT_TRUE(WaitUntil([&] { return second->finished(); }));
    EXPECT_EQ(transfer->archivePath(), archive);
    EXPECT_EQ(second->data(), first->data()) << "the same archive travels again";
    EXPECT_EQ(m_uploads.Cell(secondRow, Col::Status), QStringLiteral("Completed"));
}

TEST_F(SendLifecycleTest, CompressionToggleDeletesThePartialArchiveAndRestartsUnderANewName)
{
    auto transfer = Open(SlowToCompress());
    const QString first = transfer->archivePath();
    ASSERT_TRUE(QFile::exists(first));

    transfer->SetCompression(false);
    EXPECT_FALSE(transfer->view().compressionOn);
    EXPECT_EQ(transfer->view().compressionCaption, QStringLiteral("Auto-Compression Disabled"));
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_TRUE(transfer->archivePath().isEmpty());

    transfer->SetCompression(true);
    EXPECT_EQ(transfer->view().compressionCaption, QStringLiteral("Auto-Compression Enabled"));
    const QString second = transfer->archivePath();
    EXPECT_NE(second, first);
    EXPECT_TRUE(QFile::exists(second));

    // From the first Send on, the compression setting is frozen.
    ScriptedReceiver::Script script;
    script.answer = ScriptedReceiver::Answer::VersionMismatch;
    auto receiver = Receiver(script);
    SendTo(*transfer, *receiver);
    ASSERT_TRUE(WaitForState(*transfer, State::Preparing));
    transfer->SetCompression(false);
    EXPECT_TRUE(transfer->view().compressionOn);
    EXPECT_EQ(transfer->archivePath(), second);
    transfer->Close();
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(SendLifecycleTest, DynamicDnsQuestionComesOnlyForNamesThatDoNotReverseToThemselves)
{
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
    const QString hostName = QString::fromUtf8(name);
    WorkerStop stop;
    const auto address = hostlookup::Resolve(hostName, stop);
    if (address.outcome != hostlookup::Outcome::Found ||
        !hostlookup::ReverseNameDiffers(hostName, hostlookup::ReverseName(address.ipv4, stop)))
        GTEST_SKIP() << "this machine's name reverses to itself";

    const struct
    {
        QString host;
        bool inBook;
        bool asked;
    } cases[] = {{hostName, false, true},
                 {hostName, true, false},
                 {QStringLiteral("127.0.0.1"), false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host.toStdString() + (c.inBook ? " in book" : ""));
        DynDnsBook book;
        if (c.inBook)
            book.AddEntry(c.host, {});
        m_services.book = &book;
        auto transfer = Open(Source(QStringLiteral("d.txt"), TextBytes(100)));
        QStringList questions;
        QObject::connect(transfer.get(), &SendTransfer::dynDnsDetected, transfer.get(),
                         [&](const QString& host, const QString& dotted) {
                             questions << host + QStringLiteral(" - ") + dotted;
                         });
        SendInputs inputs;
        inputs.hostText = c.host + QStringLiteral(":1"); // nothing listens: the attempt fails
        transfer->Send(inputs);
        ASSERT_TRUE(WaitForState(*transfer, State::Preparing));
        if (c.asked) {
            ASSERT_EQ(questions.size(), 1);
            const QString dotted = questions.front().section(QStringLiteral(" - "), 1);
            EXPECT_EQ(questions.front(), c.host + QStringLiteral(" - ") + dotted);
            transfer->AnswerDynDns(false, c.host, dotted);
            EXPECT_FALSE(book.ContainsHost(c.host));
            transfer->AnswerDynDns(true, c.host, dotted);
            EXPECT_TRUE(book.ContainsHost(c.host));
        } else {
            EXPECT_TRUE(questions.isEmpty());
        }
        transfer->Close();
        m_services.book = &m_book;
    }
}

TEST_F(SendLifecycleTest, RecentHostsAreLoadedAtCreationAndCanBeCleared)
{
    m_recent->AddRecentHost(QStringLiteral("pc1"), 12666, QStringLiteral("Bob"));
    m_recent->AddRecentHost(QStringLiteral("pc2"), 9000, QStringLiteral("Ann"));
    auto transfer = Open(Source(QStringLiteral("r.txt"), TextBytes(10)));
    EXPECT_EQ(transfer->recentHosts(),
              (QStringList{QStringLiteral("pc2:9000 (Ann)"), QStringLiteral("pc1 (Bob)")}));
    transfer->ClearRecentHosts();
    EXPECT_TRUE(transfer->recentHosts().isEmpty());
    EXPECT_TRUE(m_recent->LoadRecentHosts().isEmpty());
}

} // namespace vantrel::test
