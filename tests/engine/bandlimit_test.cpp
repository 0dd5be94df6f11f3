// The band limit paces a transfer to limit x 2048 bytes per two seconds of its clock (the
// period of its progress tick), whichever side sets it. Time moves only when the test moves
// it, so the assertions count bytes, not time.
#include "tests/engine/twocopies.h"

#include <QThread>

#include <ostream>

namespace vantrel::test {
namespace {

struct PacingCase
{
    const char* name;
    bool senderLimits; // otherwise the receiver does
    std::uint32_t limit;
};

void PrintTo(const PacingCase& c, std::ostream* out)
{
    *out << c.name;
}

const PacingCase PacingCases[] = {
    {"Sender4", true, 4},
    {"Sender1", true, 1},
    {"Receiver4", false, 4},
    {"Receiver3", false, 3},
};

class Pacing : public TwoCopies, public ::testing::WithParamInterface<PacingCase>
{
};

TEST_P(Pacing, EachTickWindowPassesAtMostTheLimit)
{
    const PacingCase& c = GetParam();
    m_alice->UseManualClock();
    m_bob->UseManualClock();
    const std::uint32_t window = c.limit * 2048;
    const std::uint32_t size = window * 5 + 1000; // five full windows and a short one
    const QString source = Source(QStringLiteral("paced.bin"));
    WriteFile(source, RandomData(size, 41));

    QPointer<SendTransfer> send = m_alice->OpenSend(source, false);
    if (c.senderLimits)
        send->SetBandLimit(c.limit);
    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    if (!c.senderLimits)
        receive->SetBandLimit(static_cast<std::int32_t>(c.limit));
    receive->Accept(Destination(QStringLiteral("paced.bin")));

    // The side that limits: its count, and its tick.
    const auto moved = [&] {
        return c.senderLimits ? send->sentBytes() : receive->receivedBytes();
    };
    const auto tick = [&] {
        if (c.senderLimits) {
            m_alice->AdvanceClock(2000);
            send->ProgressTick();
        } else {
            m_bob->AdvanceClock(2000);
            receive->ProgressTick();
        }
    };
    // Both loops ask the pacer how much may still go before they move a block, so neither
    // passes a window's limit by a byte, however large its blocks.
    const std::uint32_t slack = 0;

    int windows = 0;
    while (receive->state() != ReceiveTransfer::State::Completed) {
        ++windows;
        const std::uint32_t allowed = std::min(size, window * static_cast<std::uint32_t>(windows));
        ASSERT_TRUE(WaitUntil([&] {
            return moved() >= allowed || receive->state() == ReceiveTransfer::State::Completed;
        })) << "window "
            << windows << " stalled at " << moved();
        // Give an unpaced transfer the chance to run ahead before looking.
        QThread::msleep(50);
        ASSERT_LE(moved(), allowed + slack) << "window " << windows;
        if (allowed == size)
            break;
        tick();
    }
    ASSERT_TRUE(WaitForState(receive, ReceiveTransfer::State::Completed));
    ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed));
    EXPECT_EQ(windows, 6);
    EXPECT_EQ(TreeDifference(source, Destination(QStringLiteral("paced.bin"))), QString());
}

INSTANTIATE_TEST_SUITE_P(Limits, Pacing, ::testing::ValuesIn(PacingCases), CaseName());

// Lifting the limit while the worker waits lets the rest through without another tick.
TEST_F(TwoCopies, LiftingTheSendersLimitReleasesAWaitingTransfer)
{
    m_alice->UseManualClock();
    const QString source = Source(QStringLiteral("held.bin"));
    WriteFile(source, RandomData(300000, 42));
    QPointer<SendTransfer> send = m_alice->OpenSend(source, false);
    send->SetBandLimit(2);
    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    receive->Accept(Destination(QStringLiteral("held.bin")));
    ASSERT_TRUE(WaitForSent(send, 4096));
    QThread::msleep(50);
    EXPECT_EQ(send->sentBytes(), 4096u);

    send->SetBandLimit(0);
    ASSERT_TRUE(WaitForState(receive, ReceiveTransfer::State::Completed));
    ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed));
    EXPECT_EQ(TreeDifference(source, Destination(QStringLiteral("held.bin"))), QString());
}

// A paced sender learns that the receiver went away from the first windows it sends after,
// however slow its limit, not once a whole write buffer has filled.
TEST_F(TwoCopies, APacedSenderNoticesTheReceiversAbortWithinAFewWindows)
{
    m_alice->UseManualClock();
    const QString source = Source(QStringLiteral("slow.bin"));
    WriteFile(source, RandomData(1024 * 1024, 43));
    QPointer<SendTransfer> send = m_alice->OpenSend(source, false);
    send->SetBandLimit(1); // 2 KiB per window
    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    receive->Accept(Destination(QStringLiteral("slow.bin")));
    ASSERT_TRUE(WaitForReceived(receive, 2048));
    receive->Abort(QByteArrayLiteral("stop"));
    ASSERT_EQ(receive->state(), ReceiveTransfer::State::Interrupted);

    int windows = 0;
    while (send->state() == SendTransfer::State::Streaming && windows < 8) {
        ++windows;
        m_alice->AdvanceClock(2000);
        send->ProgressTick();
        WaitUntil([&] { return send->state() != SendTransfer::State::Streaming; }, 500);
    }
    EXPECT_EQ(send->state(), SendTransfer::State::Broken) << "after " << windows << " windows";
    EXPECT_EQ(send->outcome().reason, SendReason::ConnectionReset);
    receive->DeleteData();
}

} // namespace
} // namespace vantrel::test
