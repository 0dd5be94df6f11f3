// Transfers that break off, are aborted or saved for later, and resumed: between two copies,
// with the data kept paced by a band limit on a clock that only the test moves, so that a
// transfer stands still mid-stream for as long as the test needs.
#include "core/transferhub.h"
#include "receive/autoreceiverules.h"
#include "receive/connectiontriage.h"
#include "receive/resumecache.h"
#include "stats/ratecounters.h"
#include "tests/engine/twocopies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <ostream>

namespace vantrel::test {
namespace {

using Column = TransferListModel::Column;
using RecvState = ReceiveTransfer::State;
using SendState = SendTransfer::State;

// 16 Kb/sec lets 32 KiB through per progress tick; the manual clock never ticks by itself.
constexpr std::uint32_t SlowLimit = 16;
constexpr std::uint32_t SlowWindow = SlowLimit * 2048;
constexpr qsizetype SourceSize = 600 * 1024;

struct Form
{
    const char* name;
    bool compression;
};

void PrintTo(const Form& c, std::ostream* out)
{
    *out << c.name;
}
const Form Forms[] = {{"Raw", false}, {"Archive", true}};

class Interruption : public TwoCopies, public ::testing::WithParamInterface<Form>
{
protected:
    void SetUp() override
    {
        TwoCopies::SetUp();
        m_alice->UseManualClock();
        m_source = Source(QStringLiteral("movie.bin"));
        WriteFile(m_source, RandomData(SourceSize, 21));
    }

    // A send held after its first band-limit window; returns it once the receiver has that
    // window's bytes.
    QPointer<SendTransfer> StartSlowSend()
    {
        QPointer<SendTransfer> send = m_alice->OpenSend(m_source, GetParam().compression);
        send->SetBandLimit(SlowLimit);
        EngineCopy::SendTo(*send, *m_bob);
        return send;
    }

    // The partial copy the receiver keeps: the destination itself (raw) or the cached archive.
    std::uint32_t PartialSize(const QString& target)
    {
        if (!GetParam().compression)
            return static_cast<std::uint32_t>(QFileInfo(target).size());
        const auto& entries = m_bob->resumes().entries();
        return entries.size() == 1 && entries[0].actualSize ? *entries[0].actualSize : 0;
    }

    QString m_source;
};

// The sender goes away mid-stream; the receiver saves for later; the next send of the same
// offer continues where the first stopped and the result is whole.
TEST_P(Interruption, BrokenTransferSavedForLaterResumesToAWholeCopy)
{
    const QString target = Destination(QStringLiteral("movie.bin"));
    QPointer<SendTransfer> first = StartSlowSend();
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    receive->Accept(target);
    ASSERT_TRUE(WaitForReceived(receive, SlowWindow));
    ASSERT_EQ(receive->state(), RecvState::Receiving);

    first->Abort();
    ASSERT_TRUE(WaitForState(receive, RecvState::Interrupted));
    EXPECT_EQ(receive->outcome().reason, ReceiveReason::ConnectionReset);
    EXPECT_EQ(receive->view().interruptionText, QStringLiteral("A connection error has occurred!"));
    EXPECT_EQ(m_bob->sounds().Count(Sound::Error), 1);
    receive->SaveForLaterResume();
    ASSERT_TRUE(WaitForClosed(receive));
    const std::uint32_t partial = PartialSize(target);
    EXPECT_GE(partial, SlowWindow);
    EXPECT_LT(partial, static_cast<std::uint32_t>(SourceSize));
    ASSERT_TRUE(WaitUntil([&] { return m_bob->hub().activeCount() == 0; }));

    m_bob->counters().TakeAndReset();
    m_alice->counters().TakeAndReset();
    QPointer<SendTransfer> second = m_alice->OpenSend(m_source, GetParam().compression);
    EngineCopy::SendTo(*second, *m_bob);
    QPointer<ReceiveTransfer> again = m_bob->WaitForReceive(2);
    ASSERT_TRUE(again);
    again->Accept(target);
    ASSERT_EQ(again->state(), RecvState::ResumeQuestion);
    again->Resume();
    ASSERT_TRUE(WaitForState(again, RecvState::Completed)) << StatusOf(again);
    ASSERT_TRUE(WaitForState(second, SendState::Completed));

    EXPECT_EQ(TreeDifference(m_source, target), QString());
    // Only what was missing travelled the second time.
    const RateCounters::Taken received = m_bob->counters().TakeAndReset();
    const RateCounters::Taken sent = m_alice->counters().TakeAndReset();
    EXPECT_EQ(received.downloadBytes, again->streamBytes() - partial);
    EXPECT_EQ(sent.uploadBytes, again->streamBytes() - partial);
    EXPECT_TRUE(m_bob->resumes().entries().empty());
}

// Unattended: a rule accepts, keeps the broken transfer for later, and resumes it.
TEST_P(Interruption, AutoReceiveAcceptsSavesAndResumesUnattended)
{
    const QString folder = Destination(QStringLiteral("auto"));
    QDir().mkpath(folder);
    ASSERT_EQ(m_bob->rules().Add({QStringLiteral("127.0.0.1"), folder, QStringLiteral("0")}),
              AutoReceiveRules::Check::Ok);
    const QString target = folder + QStringLiteral("/movie.bin");

    QPointer<SendTransfer> first = StartSlowSend();
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    EXPECT_TRUE(receive->isAutoReceive());
    ASSERT_TRUE(WaitForReceived(receive, SlowWindow));
    EXPECT_EQ(receive->targetPath(), target);
    first->Abort();
    ASSERT_TRUE(WaitForClosed(receive)); // saved for later by itself
    const std::uint32_t partial = PartialSize(target);
    EXPECT_GE(partial, SlowWindow);

    m_bob->counters().TakeAndReset();
    QPointer<SendTransfer> second = m_alice->OpenSend(m_source, GetParam().compression);
    EngineCopy::SendTo(*second, *m_bob);
    QPointer<ReceiveTransfer> again = m_bob->WaitForReceive(2);
    ASSERT_TRUE(again);
    ASSERT_TRUE(WaitForState(again, RecvState::Completed)) << StatusOf(again);
    ASSERT_TRUE(WaitForState(second, SendState::Completed));
    EXPECT_EQ(TreeDifference(m_source, target), QString());
    EXPECT_EQ(m_bob->counters().TakeAndReset().downloadBytes, again->streamBytes() - partial);
}

INSTANTIATE_TEST_SUITE_P(Forms, Interruption, ::testing::ValuesIn(Forms), CaseName());

// A rule may name the peer as the listener named it, not only by its address.
TEST_F(TwoCopies, AutoReceiveRuleMatchesThePeerName)
{
    const QString peer = ConnectionTriage::NamePeer(&m_bob->book(), 0x7F000001);
    const QString folder = Destination(QStringLiteral("by name"));
    QDir().mkpath(folder);
    ASSERT_EQ(m_bob->rules().Add({peer, folder, QStringLiteral("0")}), AutoReceiveRules::Check::Ok);
    WriteSampleTree(Source(QStringLiteral("tree")));

    QPointer<SendTransfer> send = m_alice->OpenSend(Source(QStringLiteral("tree")));
    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    EXPECT_EQ(m_bob->hub().ReceiveCaption(receive),
              QStringLiteral("New File Auto-Receive from %1 (Alice)").arg(peer));
    ASSERT_TRUE(WaitForState(receive, RecvState::Completed));
    ASSERT_TRUE(WaitForState(send, SendState::Completed));
    EXPECT_EQ(TreeDifference(Source(QStringLiteral("tree")), folder + QStringLiteral("/tree")),
              QString());
}

// Either side aborts at every stage; what each side is left with.
enum class Side
{
    Sender,
    Receiver
};
enum class Stage
{
    Preparing,      // sender only: nothing sent yet
    Pending,        // the request is listed, unanswered
    WaitingForData, // receiver only: accepted, no data yet
    Streaming
};

struct AbortCase
{
    const char* name;
    Side side;
    Stage stage;
    const char* senderRowStatus;
    int senderIcon;
    // The receiver's last status; "" when nothing reached it.
    const char* receiverStatus;
    RecvState receiverState; // Closed, or Interrupted (data kept until the user decides)
};

void PrintTo(const AbortCase& c, std::ostream* out)
{
    *out << c.name;
}

const AbortCase AbortCases[] = {
    {"SenderPreparing", Side::Sender, Stage::Preparing, "Aborted", 3, "", RecvState::Closed},
    {"SenderAwaitingReply", Side::Sender, Stage::Pending, "Aborted", 3, "Connection error",
     RecvState::Closed},
    {"SenderStreaming", Side::Sender, Stage::Streaming, "Aborted", 3, "Connection Error",
     RecvState::Interrupted},
    {"ReceiverPending", Side::Receiver, Stage::Pending, "Refused", 0, "Aborted", RecvState::Closed},
    {"ReceiverWaitingForData", Side::Receiver, Stage::WaitingForData, "Connection error", 0,
     "Aborted", RecvState::Closed},
    {"ReceiverReceiving", Side::Receiver, Stage::Streaming, "Connection error", 0, "Aborted",
     RecvState::Interrupted},
};

class Abort : public TwoCopies, public ::testing::WithParamInterface<AbortCase>
{
};

TEST_P(Abort, EachSideEndsAsItShould)
{
    const AbortCase& c = GetParam();
    m_alice->UseManualClock();
    // Large enough that a send into a closed connection cannot all vanish into the buffers.
    const QString source = Source(QStringLiteral("data.bin"));
    WriteFile(source, RandomData(4 * 1024 * 1024, 31));
    const QString target = Destination(QStringLiteral("data.bin"));

    QPointer<SendTransfer> send = m_alice->OpenSend(source, false);
    QPointer<ReceiveTransfer> receive;
    if (c.stage != Stage::Preparing) {
        send->SetBandLimit(SlowLimit);
        EngineCopy::SendTo(*send, *m_bob);
        receive = m_bob->WaitForReceive(1);
        ASSERT_TRUE(receive);
    }
    if (c.stage == Stage::WaitingForData) {
        // The sender's data phase starts on this thread's event loop, which does not run
        // before the abort below.
        receive->Accept(target);
        ASSERT_EQ(receive->state(), RecvState::WaitingForData);
    }
    if (c.stage == Stage::Streaming) {
        receive->Accept(target);
        ASSERT_TRUE(WaitForReceived(receive, SlowWindow));
        ASSERT_EQ(receive->state(), RecvState::Receiving);
    }

    if (c.side == Side::Sender) {
        send->Abort();
        EXPECT_TRUE(WaitForClosed(send));
        if (c.stage == Stage::Pending)
            receive->Accept(target); // the receiving user answers too late
    } else {
        receive->Abort(QByteArrayLiteral("stop"));
        send->SetBandLimit(0); // let it find out
    }

    TransferListModel& uploads = m_alice->uploads();
    ASSERT_TRUE(WaitUntil([&] {
        return TopCell(uploads, Column::Status) == QLatin1String(c.senderRowStatus);
    })) << TopCell(uploads, Column::Status).toStdString();
    EXPECT_EQ(TopIcon(uploads), c.senderIcon);
    EXPECT_EQ(TopCell(uploads, Column::Speed), QStringLiteral("-"));
    if (c.side == Side::Receiver && c.stage != Stage::Pending) {
        EXPECT_TRUE(WaitForState(send, SendState::Broken));
        EXPECT_EQ(send->outcome().reason, SendReason::ConnectionReset);
        EXPECT_EQ(send->view().panel, SendView::Panel::Error);
    }

    if (c.stage == Stage::Preparing) {
        EXPECT_EQ(m_bob->downloads().rowCount(), 0);
    } else {
        if (c.receiverState == RecvState::Closed)
            ASSERT_TRUE(WaitForClosed(receive));
        else
            ASSERT_TRUE(WaitForState(receive, c.receiverState));
        EXPECT_EQ(TopCell(m_bob->downloads(), Column::Status), QLatin1String(c.receiverStatus));
        EXPECT_EQ(TopIcon(m_bob->downloads()), TransferListModel::IconStopped);
        EXPECT_EQ(TopCell(m_bob->downloads(), Column::Speed), QStringLiteral("-"));
        // Only a failure of the connection itself reaches the receiving user as a box.
        const bool boxed = QLatin1String(c.receiverStatus) == QLatin1String("Connection error");
        EXPECT_EQ(m_bob->messageBoxes().size(), boxed ? 1u : 0u) << Describe(*m_bob);
        if (boxed) {
            EXPECT_EQ(
                m_bob->messageBoxes().front(),
                std::make_pair(QStringLiteral("Connection Error"), QStringLiteral("Socket Error")));
        }
    }
    if (c.receiverState == RecvState::Interrupted) {
        EXPECT_EQ(receive->view().abortedPictures, c.side == Side::Receiver);
        EXPECT_TRUE(QFileInfo::exists(target)); // kept until the user decides
        receive->DeleteData();
        EXPECT_TRUE(WaitForClosed(receive));
    }
    EXPECT_FALSE(QFileInfo::exists(target));

    ASSERT_TRUE(WaitUntil([&] {
        return m_alice->hub().activeCount() == (send ? 1 : 0) && m_bob->hub().activeCount() == 0;
    }));
    if (send)
        send->Close();
    ASSERT_TRUE(WaitUntil([&] { return m_alice->hub().activeCount() == 0; }));
    EXPECT_EQ(TempFiles(*m_alice), QStringList());
    EXPECT_EQ(TempFiles(*m_bob), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Stages, Abort, ::testing::ValuesIn(AbortCases), CaseName());

} // namespace
} // namespace vantrel::test
