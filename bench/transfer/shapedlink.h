#pragma once

#include "bench/transfer/tunlink.h"
#include "tests/support/netnspair.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace vantrel::bench {

// Two network namespaces joined by a veth pair shaped like a slow wide-area link: netem on
// both ends, 100 Mbit/s and 10 ms each way (20 ms round trip). The receiving side (the
// receiving copy, sshd) lives in "far", the sending side (the sending copy, scp, ssh) in
// "near". Removed at destruction, and by SignalCleanup on Ctrl+C. Needs root and iproute2.
// Where the kernel has no netem, the namespaces are joined instead by a TunLink that holds
// packets the same way in this process.
class ShapedLink
{
public:
    ShapedLink();
    ~ShapedLink();
    ShapedLink(const ShapedLink&) = delete;
    ShapedLink& operator=(const ShapedLink&) = delete;

    bool ok() const { return m_ok; }
    const QString& error() const { return m_error; }

    // A command as run on either side.
    QStringList Near(const QStringList& command = {}) const;
    QStringList Far(const QStringList& command = {}) const;
    QString FarAddress() const;
    // How the link is shaped, for the report.
    QString Method() const;
    // The measured round trip ("rtt min/avg/max/mdev = ..."), or why it could not be measured.
    QString Ping();

private:
    bool Shape(test::NetnsPair::Side side);

    test::NetnsPair m_pair;
    bool m_ok = false;
    QString m_error;
    int m_cleanupSlots[2] = {-1, -1};
    std::unique_ptr<TunLink> m_tun; // goes before the namespaces it lives in
};

} // namespace vantrel::bench
