// A receiver behind a firewall: two network namespaces joined by a veth pair,
// nftables in the receiver's namespace dropping every connection begun from
// outside, and a running copy in each. A direct send cannot reach the receiver;
// a tunnel the receiver opens carries it.
#include "tests/engine/twocopies.h"
#include "tests/support/netnspair.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <memory>

namespace vantrel::test {
namespace {

using Side = NetnsPair::Side;

constexpr int AnswerTimeoutMs = 90000;

QString Word(const char* text)
{
    return QString::fromLatin1(text);
}

QStringList Words(const char* text)
{
    return Word(text).split(QLatin1Char(' '));
}

// A copy of the engine running as a program of its own inside one namespace.
class NamespacedCopy
{
public:
    NamespacedCopy(NetnsPair& pair, Side side, const QString& nick, const QString& home,
                   const QString& acceptInto)
    {
        const QStringList command = pair.Inside(
            side, {QStringLiteral(VANTREL_NAMESPACED_COPY), QStringLiteral("--home"), home,
                   QStringLiteral("--nick"), nick, QStringLiteral("--accept-into"), acceptInto});
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VANTREL_BUILD_DIR"), BuildFolder());
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(command.front(), command.mid(1));
        const QStringList ready = ReadLine().split(QLatin1Char('\t'));
        if (ready.value(0) == QLatin1String("READY")) {
            m_port = ready.value(1).toInt();
            m_authority = ready.value(2);
        } else {
            m_error = ready.join(QLatin1Char(' '));
        }
    }

    ~NamespacedCopy()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.write("quit\n");
        if (!m_process.waitForFinished(20000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool ok() const { return m_port > 0; }
    const QString& error() const { return m_error; }
    int port() const { return m_port; }
    const QString& authority() const { return m_authority; }

    // One command; its "RESULT" line's text.
    QString Ask(const QStringList& fields)
    {
        m_process.write((fields.join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8());
        const QString line = ReadLine();
        return line.section(QLatin1Char('\t'), 1);
    }

    // The tunnel list, each row as "type host nick status".
    QStringList Tunnels()
    {
        m_process.write("tunnels\n");
        QStringList rows;
        for (QString line = ReadLine(); line.startsWith(QLatin1String("ROW\t")); line = ReadLine())
            rows << line.section(QLatin1Char('\t'), 1).replace(QLatin1Char('\t'), QLatin1Char(' '));
        return rows;
    }

private:
    QString ReadLine()
    {
        while (!m_process.canReadLine()) {
            if (m_process.state() == QProcess::NotRunning ||
                !m_process.waitForReadyRead(AnswerTimeoutMs))
                return QStringLiteral("(no answer)");
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    QProcess m_process;
    int m_port = 0;
    QString m_authority;
    QString m_error;
};

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

    NamespacedCopy sender(pair, Side::Near, QStringLiteral("Alice"),
                          data.file(QStringLiteral("alice")), data.file(QStringLiteral("unused")));
    NamespacedCopy receiver(pair, Side::Far, QStringLiteral("Bob"),
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
