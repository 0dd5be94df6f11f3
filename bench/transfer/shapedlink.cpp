#include "bench/transfer/shapedlink.h"

#include "bench/transfer/signalcleanup.h"

#include <QProcess>
#include <QStandardPaths>

namespace vantrel::bench {

namespace {

using Side = test::NetnsPair::Side;

constexpr double RateBitsPerSecond = 100e6;
constexpr int DelayMs = 10; // each way

QByteArray Output(const QStringList& command, bool* ok = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.front(), command.mid(1));
    const bool finished = process.waitForFinished(30000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAll();
}

} // namespace

ShapedLink::ShapedLink()
{
    if (!m_pair.ok()) {
        m_error = m_pair.error();
        return;
    }
    for (Side side : {Side::Near, Side::Far})
        m_cleanupSlots[side == Side::Near ? 0 : 1] =
            SignalCleanup::AddCommand({QStringLiteral("ip"), QStringLiteral("netns"),
                                       QStringLiteral("del"), m_pair.name(side)});
    if (QStandardPaths::findExecutable(QStringLiteral("tc")).isEmpty()) {
        m_error = QStringLiteral("tc (iproute2) is not installed");
        return;
    }
    m_ok = Shape(Side::Near) && Shape(Side::Far);
    if (!m_ok && m_error.contains(QLatin1String("unknown"))) {
        m_tun = std::make_unique<TunLink>(m_pair.name(Side::Near), m_pair.name(Side::Far),
                                          RateBitsPerSecond, DelayMs);
        m_ok = m_tun->ok();
        m_error = m_ok ? QString() : m_tun->error();
    }
}

ShapedLink::~ShapedLink()
{
    for (int slot : m_cleanupSlots)
        SignalCleanup::ForgetCommand(slot);
}

bool ShapedLink::Shape(Side side)
{
    // The namespace's only veth end, "name@ifN" in the one-line listing.
    bool ok = false;
    const QByteArray listing =
        Output({QStringLiteral("ip"), QStringLiteral("-n"), m_pair.name(side), QStringLiteral("-o"),
                QStringLiteral("link"), QStringLiteral("show"), QStringLiteral("type"),
                QStringLiteral("veth")},
               &ok);
    const QByteArray device = listing.split(':').value(1).trimmed().split('@').value(0);
    if (!ok || device.isEmpty()) {
        m_error = QStringLiteral("no veth end in %1: %2")
                      .arg(m_pair.name(side), QString::fromLocal8Bit(listing));
        return false;
    }
    // Queue limit well above the bandwidth-delay product (about 170 packets).
    const QByteArray result =
        Output({QStringLiteral("tc"), QStringLiteral("-n"), m_pair.name(side),
                QStringLiteral("qdisc"), QStringLiteral("add"), QStringLiteral("dev"),
                QString::fromLatin1(device), QStringLiteral("root"), QStringLiteral("netem"),
                QStringLiteral("rate"), QStringLiteral("100mbit"), QStringLiteral("delay"),
                QStringLiteral("10ms"), QStringLiteral("limit"), QStringLiteral("10000")},
               &ok);
    if (!ok)
        m_error = QStringLiteral("netem on %1: %2")
                      .arg(QString::fromLatin1(device), QString::fromLocal8Bit(result).trimmed());
    return ok;
}

QStringList ShapedLink::Near(const QStringList& command) const
{
    return m_pair.Inside(Side::Near, command);
}

QStringList ShapedLink::Far(const QStringList& command) const
{
    return m_pair.Inside(Side::Far, command);
}

QString ShapedLink::FarAddress() const
{
    return QString::fromLatin1(m_tun ? TunLink::FarAddress : test::NetnsPair::FarAddress);
}

QString ShapedLink::Method() const
{
    return m_tun ? QStringLiteral("TUN devices and this program's relay (rate 100 Mbit/s, "
                                  "10 ms each way, netem is not in this kernel)")
                 : QStringLiteral("veth pair, netem rate 100mbit delay 10ms on both ends");
}

QString ShapedLink::Ping()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ping")).isEmpty())
        return QStringLiteral("not measured: ping (iputils-ping) is not installed");
    bool ok = false;
    const QByteArray output = Output(
        Near({QStringLiteral("ping"), QStringLiteral("-c"), QStringLiteral("5"),
              QStringLiteral("-i"), QStringLiteral("0.2"), QStringLiteral("-q"), FarAddress()}),
        &ok);
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith("rtt "))
            return QString::fromLatin1(line.trimmed());
    }
    return QStringLiteral("ping failed: ") + QString::fromLocal8Bit(output).trimmed();
}

} // namespace vantrel::bench
