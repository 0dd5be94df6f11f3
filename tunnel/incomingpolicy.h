#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <mutex>

namespace vantrel {

class SettingsStore;

enum class PolicyMode { AcceptAll = 1, DenyAll = 2, AcceptOnly = 3, AcceptExcept = 4 };

// Decides whether an incoming connection (transfer request or tunnel registration) is dealt
// with at all. Checks run on connection threads while the window edits on the UI thread:
// edits publish a new immutable copy, and a check reads one copy from start to answer.
class IncomingPolicy
{
public:
    static inline const QString NewHostText = QStringLiteral("<New Host>");

    IncomingPolicy();

    bool Allows(const QString& peerName, std::uint32_t ipv4HostOrder) const;

    PolicyMode mode() const;
    QStringList hosts() const;
    void SetMode(PolicyMode mode);
    int AddHost(); // appends "<New Host>", returns its index
    void AddHost(const QString& text);
    void RemoveHost(int index);
    // An empty text keeps the old one; returns whether the entry changed.
    bool EditHost(int index, const QString& text);

    void Load(SettingsStore& store);
    void Save(SettingsStore& store) const;

private:
    struct State
    {
        PolicyMode mode = PolicyMode::AcceptAll;
        QStringList hosts;
    };
    std::shared_ptr<const State> Snapshot() const;
    void Publish(std::shared_ptr<const State> state);

    mutable std::mutex m_mutex;
    std::shared_ptr<const State> m_state;
};

} // namespace vantrel
