// A link that goes silent mid-transfer: two network namespaces joined by a veth pair, a
// running copy in each, and nftables in the receiver's namespace dropping every packet both
// ways while a paced send runs, as when the receiver's machine vanishes without a reset.
// Both sides must end the data phase as an interruption on their own, the receiver keeping
// what arrived, and a later send must resume it to a whole copy.
#include "tests/engine/twocopies.h"
#include "tests/support/netnspair.h"
#include "tests/support/tempprofile.h"
#include "tests/tunnel/copyinnamespace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cstdio>
#include <functional>

namespace vantrel::test {
namespace {

using Side = NetnsPair::Side;

// A vanished peer must be given up within about a minute; the figures aim at 45 s.
constexpr qint64 DetectionBoundMs = 60000;
// Waiting on past the bound only tells how late a side is.
constexpr qint64 GiveUpMs = DetectionBoundMs + 15000;
constexpr qsizetype SourceSize = 8 * 1024 * 1024;
// 512 KiB/s: the send is still running long after the cut.
constexpr int PacedKbPerSecond = 256;

QString Word(const char* text)
{
    return QString::fromLatin1(text);
}

// Asks a few times a second only: each question is a round trip to a copy.
bool PollUntil(const std::function<bool()>& done, qint64 timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(200);
    }
    return true;
}

// What each copy says of its newest transfer: state, status line, row status.
struct Sides
{
    QStringList send;
    QStringList receive;
};

TEST(SilentLink, BothSidesReportTheInterruptionAndTheNextSendResumes)
{
    NetnsPair pair;
    if (!pair.ok())
        GTEST_SKIP() << "This machine cannot make network namespaces, so the silent link test "
                        "did not run: "
                     << pair.error().toStdString();
    // nftables must work here before anything is started on it.
    if (!pair.DropEverything(Side::Far) || !pair.AllowEverything(Side::Far))
        GTEST_SKIP() << "This machine cannot filter inside a namespace, so the silent link "
                        "test did not run: "
                     << pair.error().toStdString();

    TempFolder data;
    const QString source = data.file(QStringLiteral("src/movie.bin"));
    WriteFile(source, RandomData(SourceSize, 41));
    const QString inbox = data.file(QStringLiteral("inbox"));
    QDir().mkpath(inbox);
    const QString target = QDir(inbox).filePath(QStringLiteral("movie.bin"));

    CopyInNamespace sender(pair, Side::Near, QStringLiteral("Alice"),
                           data.file(QStringLiteral("alice")), data.file(QStringLiteral("unused")));
    CopyInNamespace receiver(pair, Side::Far, QStringLiteral("Bob"),
                             data.file(QStringLiteral("bob")), data.file(QStringLiteral("unused")));
    ASSERT_TRUE(sender.ok()) << sender.error().toStdString();
    ASSERT_TRUE(receiver.ok()) << receiver.error().toStdString();
    ASSERT_EQ(sender.Ask({Word("trust"), receiver.authority()}), QStringLiteral("trusted"));
    // Nobody is there to answer: a rule takes the sender's requests.
    ASSERT_EQ(receiver.Ask({Word("rule"), QString::fromLatin1(NetnsPair::NearAddress), inbox}),
              QStringLiteral("added"));

    const QString far = QStringLiteral("%1:%2")
                            .arg(QString::fromLatin1(NetnsPair::FarAddress))
                            .arg(receiver.port());
    const auto state = [&] {
        return Sides{sender.AskFields({Word("sendstate")}),
                     receiver.AskFields({Word("receivestate")})};
    };

    ASSERT_EQ(sender.Ask({Word("start"), far, source, QString::number(PacedKbPerSecond)}),
              QStringLiteral("started"));
    Sides now;
    ASSERT_TRUE(PollUntil(
        [&] {
            now = state();
            return now.receive.value(0) == QLatin1String("Receiving") &&
                   QFileInfo(target).size() >= 1024 * 1024;
        },
        30000))
        << now.send.join(QLatin1Char('|')).toStdString() << " / "
        << now.receive.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(now.send.value(0), QStringLiteral("Streaming"));

    ASSERT_TRUE(pair.DropEverything(Side::Far)) << pair.error().toStdString();
    QElapsedTimer silent;
    silent.start();
    qint64 senderEnded = -1;
    qint64 receiverEnded = -1;
    // The receiver's rule saves a broken transfer for later by itself: it closes and the
    // hub lets it go, its row keeping the last status.
    while ((senderEnded < 0 || receiverEnded < 0) && silent.elapsed() < GiveUpMs) {
        QThread::msleep(500);
        now = state();
        if (senderEnded < 0 && now.send.value(0) != QLatin1String("Streaming"))
            senderEnded = silent.elapsed();
        if (receiverEnded < 0 && now.receive.value(0) != QLatin1String("Receiving"))
            receiverEnded = silent.elapsed();
    }
    std::printf("silent link noticed after %lld ms (sender) and %lld ms (receiver)\n",
                static_cast<long long>(senderEnded), static_cast<long long>(receiverEnded));
    ASSERT_GE(senderEnded, 0) << "the sender never noticed the silent link";
    ASSERT_GE(receiverEnded, 0) << "the receiver never noticed the silent link";
    EXPECT_LE(senderEnded, DetectionBoundMs);
    EXPECT_LE(receiverEnded, DetectionBoundMs);

    ASSERT_TRUE(PollUntil(
        [&] {
            now = state();
            return now.receive.value(0) == QLatin1String("gone") ||
                   now.receive.value(0) == QLatin1String("Closed");
        },
        10000));
    EXPECT_EQ(now.send, (QStringList{QStringLiteral("Broken"),
                                     QStringLiteral("Status: Connection reset by peer"),
                                     QStringLiteral("Connection error")}));
    EXPECT_EQ(now.receive.value(2), QStringLiteral("Connection Error"));
    const qint64 partial = QFileInfo(target).size();
    EXPECT_GE(partial, 1024 * 1024);
    EXPECT_LT(partial, SourceSize);

    ASSERT_TRUE(pair.AllowEverything(Side::Far)) << pair.error().toStdString();
    receiver.Ask({Word("takecounts")});
    ASSERT_EQ(sender.Ask({Word("start"), far, source, QStringLiteral("0")}),
              QStringLiteral("started"));
    ASSERT_TRUE(PollUntil(
        [&] {
            now = state();
            return now.send.value(0) == QLatin1String("Completed") &&
                   (now.receive.value(0) == QLatin1String("Completed") ||
                    now.receive.value(0) == QLatin1String("gone"));
        },
        TransferTimeoutMs))
        << now.send.join(QLatin1Char('|')).toStdString() << " / "
        << now.receive.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(now.receive.value(2), QStringLiteral("Completed"));
    EXPECT_EQ(TreeDifference(source, target), QString());
    // Only what was missing travelled the second time.
    EXPECT_EQ(receiver.AskFields({Word("takecounts")}).value(0).toLongLong(), SourceSize - partial);
}

} // namespace
} // namespace vantrel::test
