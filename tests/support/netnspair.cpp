#include "tests/support/netnspair.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace vantrel::test {

namespace {

constexpr int CommandTimeoutMs = 20000;

void RemoveNamespace(const QString& name)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), name});
    process.waitForFinished(CommandTimeoutMs);
}

} // namespace

NetnsPair::NetnsPair()
{
    // Per process, so that test programs running side by side never share a name; a name is
    // at most 15 bytes for the veth ends.
    const QString stem = QStringLiteral("vnt%1").arg(QCoreApplication::applicationPid());
    m_near = stem + QLatin1Char('n');
    m_far = stem + QLatin1Char('f');

    if (::geteuid() != 0) {
        m_error = QStringLiteral("network namespaces need root");
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty()) {
        m_error = QStringLiteral("iproute2 ('ip') is not installed");
        return;
    }
    // Leftovers of a run of the same process id that was killed.
    RemoveNamespace(m_near);
    RemoveNamespace(m_far);

    const QString nearEnd = stem + QLatin1Char('a');
    const QString farEnd = stem + QLatin1Char('b');
    const QString nearNet = QString::fromLatin1(NearAddress) + QStringLiteral("/24");
    const QString farNet = QString::fromLatin1(FarAddress) + QStringLiteral("/24");
    const QStringList steps = {
        QStringLiteral("ip netns add %1").arg(m_near),
        QStringLiteral("ip netns add %1").arg(m_far),
        QStringLiteral("ip link add %1 netns %2 type veth peer name %3 netns %4")
            .arg(nearEnd, m_near, farEnd, m_far),
        QStringLiteral("ip -n %1 addr add %2 dev %3").arg(m_near, nearNet, nearEnd),
        QStringLiteral("ip -n %1 addr add %2 dev %3").arg(m_far, farNet, farEnd),
        QStringLiteral("ip -n %1 link set lo up").arg(m_near),
        QStringLiteral("ip -n %1 link set lo up").arg(m_far),
        QStringLiteral("ip -n %1 link set %2 up").arg(m_near, nearEnd),
        QStringLiteral("ip -n %1 link set %2 up").arg(m_far, farEnd),
    };
    for (const QString& step : steps) {
        if (!RunHere(step.split(QLatin1Char(' ')))) {
            m_error = QStringLiteral("cannot make network namespaces: ") + m_error;
            return;
        }
    }
    m_ok = true;
}

NetnsPair::~NetnsPair()
{
    RemoveNamespace(m_near);
    RemoveNamespace(m_far);
}

QStringList NetnsPair::Inside(Side side, const QStringList& command) const
{
    return QStringList{QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"),
                       name(side)} +
           command;
}

bool NetnsPair::Run(Side side, const QStringList& command, const QByteArray& input)
{
    return RunHere(Inside(side, command), input);
}

bool NetnsPair::RunHere(const QStringList& command, const QByteArray& input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.front(), command.mid(1));
    if (!process.waitForStarted(CommandTimeoutMs)) {
        m_error = command.join(QLatin1Char(' ')) + QStringLiteral(": did not start");
        return false;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(CommandTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        m_error = command.join(QLatin1Char(' ')) + QStringLiteral(": timed out");
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = command.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                  QString::fromLocal8Bit(process.readAll()).trimmed();
        return false;
    }
    return true;
}

bool NetnsPair::RunNft(Side side, const QByteArray& script)
{
    if (QStandardPaths::findExecutable(QStringLiteral("nft")).isEmpty()) {
        m_error = QStringLiteral("nftables ('nft') is not installed");
        return false;
    }
    return Run(side, {QStringLiteral("nft"), QStringLiteral("-f"), QStringLiteral("-")}, script);
}

bool NetnsPair::DropInboundConnections(Side side)
{
    // Answers to the side's own connections pass; every connection begun from outside is
    // dropped without a word, as a firewall in front of a home network does.
    const QByteArray rules = "table inet inbound_guard {\n"
                             "  chain input {\n"
                             "    type filter hook input priority 0; policy accept;\n"
                             "    iifname \"lo\" accept\n"
                             "    ct state established,related accept\n"
                             "    ct state new drop\n"
                             "  }\n"
                             "}\n";
    return RunNft(side, rules);
}

bool NetnsPair::DropEverything(Side side)
{
    const QByteArray rules = "table inet silent_link {\n"
                             "  chain input {\n"
                             "    type filter hook input priority -10; policy drop;\n"
                             "    iifname \"lo\" accept\n"
                             "  }\n"
                             "  chain output {\n"
                             "    type filter hook output priority -10; policy drop;\n"
                             "    oifname \"lo\" accept\n"
                             "  }\n"
                             "}\n";
    return RunNft(side, rules);
}

bool NetnsPair::AllowEverything(Side side)
{
    return RunNft(side, "delete table inet silent_link\n");
}

} // namespace vantrel::test
