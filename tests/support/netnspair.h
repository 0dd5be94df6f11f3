#pragma once

#include <QString>
#include <QStringList>

namespace vantrel::test {

// Two network namespaces made by the test, "near" and "far", joined by a veth pair with the
// addresses NearAddress and FarAddress; nothing else reaches them. Removing the namespaces
// (at destruction) removes the pair too. Needs root and iproute2; where the machine cannot
// make namespaces, ok() is false and error() says why.
class NetnsPair
{
public:
    enum class Side
    {
        Near,
        Far
    };

    static constexpr const char* NearAddress = "10.201.0.1";
    static constexpr const char* FarAddress = "10.201.0.2";

    NetnsPair();
    ~NetnsPair();
    NetnsPair(const NetnsPair&) = delete;
    NetnsPair& operator=(const NetnsPair&) = delete;

    bool ok() const { return m_ok; }
    const QString& error() const { return m_error; }
    QString name(Side side) const { return side == Side::Near ? m_near : m_far; }

    // `command` as run inside the namespace ("ip netns exec <name> ...").
    QStringList Inside(Side side, const QStringList& command) const;
    // Runs a command inside the namespace and waits (at most 20 s); false unless it exits
    // with 0, `error()` then holds its output.
    bool Run(Side side, const QStringList& command, const QByteArray& input = QByteArray());

    // The far side drops every inbound connection that is not an answer to one of its own
    // (nftables); its own outgoing connections still work.
    bool DropInboundConnections(Side side);
    // The side's link goes silent: every packet in and out over the veth pair is dropped
    // without a word (no reset, no ICMP), as when the machine behind it vanishes. Loopback
    // inside the namespace still works. AllowEverything lifts it again.
    bool DropEverything(Side side);
    bool AllowEverything(Side side);

private:
    bool RunNft(Side side, const QByteArray& script);
    bool RunHere(const QStringList& command, const QByteArray& input = QByteArray());

    QString m_near;
    QString m_far;
    bool m_ok = false;
    QString m_error;
};

} // namespace vantrel::test
