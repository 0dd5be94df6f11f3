// A receiver behind a firewall: two network namespaces joined by a veth pair,
// nftables in the receiver's namespace dropping every connection begun from
// outside, and a running copy in each. A direct send cannot reach the receiver;
// a tunnel the receiver opens carries it.
#include "tests/engine/twocopies.h"
#include "tests/support/netnspair.h"
#include "tests/support/tempprofile.h"
#include "tests/tunnel/copyinnamespace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QThread>

#include <memory>

namespace vantrel::test {
namespace {

using Side = NetnsPair::Side;

QString Word(const char* text)
{
    return QString::fromLatin1(text);
}

QStringList Words(const char* text)
{
    return Word(text).split(QLatin1Char(' '));
}

TEST(Firewall, ATunnelCarriesWhatADirectSendCannotDeliver)
{
    NetnsPair pair;
    if (!pair.ok())
        GTEST_SKIP() << "This machine cannot make network namespaces, so the firewall test "
                        "did not run: "
                     << pair.error().toStdString();
    // A dropped connection attempt gives up after about 3 s instead of 2 minutes.
    ASSERT_TRUE(pair.Run(Side::Near, Words("sysctl -q -w net.ipv4.tcp_syn_retries=1")))
        << pair.error().toStdString();
    if (!pair.DropInboundConnections(Side::Far))
        GTEST_SKIP() << "This machine cannot filter inside a namespace, so the "
                        "firewall test "
                        "did not run: "
                     << pair.error().toStdString();

    TempFolder data;
    const QString source = data.file(QStringLiteral("src/report.bin"));
    WriteFile(source, RandomData(3 * 1024 * 1024 + 17));
    const QString received = data.file(QStringLiteral("received"));
    QDir().mkpath(received);

    CopyInNamespace sender(pair, Side::Near, QStringLiteral("Alice"),
                           data.file(QStringLiteral("alice")), data.file(QStringLiteral("unused")));
    CopyInNamespace receiver(pair, Side::Far, QStringLiteral("Bob"),
                             data.file(QStringLiteral("bob")), received);
    ASSERT_TRUE(sender.ok()) << sender.error().toStdString();
    ASSERT_TRUE(receiver.ok()) << receiver.error().toStdString();
    ASSERT_EQ(sender.Ask({Word("trust"), receiver.authority()}), QStringLiteral("trusted"));
    ASSERT_EQ(receiver.Ask({Word("trust"), sender.authority()}), QStringLiteral("trusted"));

    const QString far = QString::fromLatin1(NetnsPair::FarAddress);
    const QString near = QString::fromLatin1(NetnsPair::NearAddress);
    EXPECT_EQ(
        sender.Ask({Word("send"), QStringLiteral("%1:%2").arg(far).arg(receiver.port()), source}),
        QStringLiteral("Status: Unable to connect to '%1'").arg(far));
    EXPECT_TRUE(QDir(received).isEmpty());

    ASSERT_EQ(receiver.Ask({Word("open"), QStringLiteral("%1:%2").arg(near).arg(sender.port())}),
              QStringLiteral("opened"));
    EXPECT_EQ(receiver.Tunnels(), QStringList{QStringLiteral("Outgoing %1 - Open").arg(near)});
    // The registration reaches the sender a moment after the opener is done.
    QStringList offered;
    for (int i = 0; i < 100 && offered.isEmpty(); ++i) {
        offered = sender.Tunnels();
        if (offered.isEmpty())
            QThread::msleep(100);
    }
    EXPECT_EQ(offered, QStringList{QStringLiteral("Incoming %1 Bob Open").arg(far)});

    EXPECT_EQ(sender.Ask({Word("tunnelsend"), far, source}),
              QStringLiteral("Status: File Transfer Completed"));
    const QString target = QDir(received).filePath(QStringLiteral("report.bin"));
    EXPECT_TRUE(WaitUntil([&] { return TreeDifference(source, target).isEmpty(); }, 30000))
        << TreeDifference(source, target).toStdString();
    EXPECT_EQ(sender.Tunnels(), QStringList{QStringLiteral("Incoming %1 Bob Used").arg(far)});
    EXPECT_EQ(receiver.Tunnels(), QStringList{QStringLiteral("Outgoing %1 Alice Used").arg(near)});
}

} // namespace
} // namespace vantrel::test
