#include "send/recenthosts.h"

#include "core/base/settingsstore.h"
#include "net/wirerecords.h"

#include <array>
#include <mutex>

namespace vantrel {

namespace {

QString ValueName(int index)
{
    return QString::asprintf("%02dEntry", index);
}

} // namespace

QString RecentHosts::EntryText(const QString& host, int port, const QString& nickName)
{
    if (port == DefaultServerPort)
        return QStringLiteral("%1 (%2)").arg(host, nickName);
    return QStringLiteral("%1:%2 (%3)").arg(host, QString::number(port), nickName);
}

QStringList RecentHosts::LoadRecentHosts() const
{
    QStringList entries;
    // One consistent list, never half of an update made meanwhile.
    std::lock_guard lock(m_store.UpdateLock());
    for (int i = 0; i < MaxEntries; ++i) {
        const QString text = m_store.ReadString(SettingsStore::RecentHostsKey, ValueName(i));
        if (text.isEmpty())
            break;
        entries.append(text);
    }
    return entries;
}

void RecentHosts::AddRecentHost(const QString& host, int port, const QString& nickName)
{
    const QString& key = SettingsStore::RecentHostsKey;
    // The send engine's worker and the UI thread may add at the same moment.
    std::lock_guard lock(m_store.UpdateLock());

    std::array<QString, MaxEntries> old;
    for (int i = 0; i < MaxEntries; ++i)
        old[i] = m_store.ReadString(key, ValueName(i));

    // Any entry that begins with the host text stands for that host; when several do, the
    // last one found is replaced and the earlier ones stay.
    int duplicate = -1;
    for (int i = 0; i < MaxEntries && !old[i].isEmpty(); ++i) {
        if (old[i].startsWith(host, Qt::CaseSensitive))
            duplicate = i;
    }

    std::array<QString, MaxEntries> updated;
    updated[0] = EntryText(host, port, nickName);
    int next = 1;
    for (int i = 0; i < MaxEntries && next < MaxEntries && !old[i].isEmpty(); ++i) {
        if (i != duplicate)
            updated[next++] = old[i];
    }

    // Only changed places are written, and the file once.
    QList<QPair<QString, QString>> changes;
    for (int i = 0; i < next; ++i) {
        if (updated[i] != old[i])
            changes.append({ValueName(i), updated[i]});
    }
    m_store.WriteValues(key, changes);
}

void RecentHosts::ClearRecentHosts()
{
    QStringList names;
    for (int i = 0; i < MaxEntries; ++i)
        names.append(ValueName(i));
    std::lock_guard lock(m_store.UpdateLock());
    m_store.DeleteValues(SettingsStore::RecentHostsKey, names);
}

} // namespace vantrel
