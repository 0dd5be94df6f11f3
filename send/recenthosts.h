#pragma once

#include <QString>
#include <QStringList>

namespace vantrel {

class SettingsStore;

// The recently used hosts ("00Entry" .. "49Entry" under MRUHosts), newest first.
class RecentHosts
{
public:
    static constexpr int MaxEntries = 50;

    explicit RecentHosts(SettingsStore& store) : m_store(store) {}

    // Entry texts in order, stopping at the first missing or empty one.
    QStringList LoadRecentHosts() const;
    // "host (nick)" for the default port, else "host:port (nick)"; prefix-duplicate rule; one
    // lock around the whole update.
    void AddRecentHost(const QString& host, int port, const QString& nickName);
    void ClearRecentHosts();

    static QString EntryText(const QString& host, int port, const QString& nickName);

private:
    SettingsStore& m_store;
};

} // namespace vantrel
