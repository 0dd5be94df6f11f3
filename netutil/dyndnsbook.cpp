#include "netutil/dyndnsbook.h"

#include "core/base/settingsstore.h"
#include "net/securechannel.h"

namespace vantrel {

namespace {

const QString RefreshValue = QStringLiteral("RefreshTime");

QString HostValue(int position)
{
    return QStringLiteral("AHost%1").arg(position, 2, 10, QLatin1Char('0'));
}

} // namespace

std::optional<QString> DynDnsBook::NameForAddress(std::uint32_t ipv4HostOrder) const
{
    const QString dotted = SecureChannel::DottedAddress(ipv4HostOrder);
    std::lock_guard lock(m_mutex);
    for (const Entry& entry : m_entries) {
        if (entry.address == dotted)
            return entry.host;
    }
    return std::nullopt;
}

bool DynDnsBook::ContainsHost(const QString& host) const
{
    std::lock_guard lock(m_mutex);
    for (const Entry& entry : m_entries) {
        if (entry.host == host)
            return true;
    }
    return false;
}

void DynDnsBook::AddEntry(const QString& host, const QString& address)
{
    std::lock_guard lock(m_mutex);
    m_entries.push_back(Entry{host, address, m_nextId++});
}

void DynDnsBook::AddHost()
{
    AddEntry(NewHostText, Unresolved);
}

void DynDnsBook::RemoveEntry(int index)
{
    std::lock_guard lock(m_mutex);
    if (index >= 0 && index < int(m_entries.size()))
        m_entries.erase(m_entries.begin() + index);
}

bool DynDnsBook::EditHost(int index, const QString& text)
{
    std::lock_guard lock(m_mutex);
    if (text.isEmpty() || index < 0 || index >= int(m_entries.size()) ||
        m_entries[index].host == text)
        return false;
    m_entries[index].host = text;
    return true;
}

std::vector<DynDnsBook::Entry> DynDnsBook::entries() const
{
    std::lock_guard lock(m_mutex);
    return m_entries;
}

int DynDnsBook::size() const
{
    std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

std::optional<DynDnsBook::Entry> DynDnsBook::EntryAt(int index) const
{
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= int(m_entries.size()))
        return std::nullopt;
    return m_entries[index];
}

void DynDnsBook::StoreAddress(std::uint64_t id, const QString& address)
{
    std::lock_guard lock(m_mutex);
    for (Entry& entry : m_entries) {
        if (entry.id == id) {
            entry.address = address;
            return;
        }
    }
}

QString DynDnsBook::Load(SettingsStore& store)
{
    const QString& key = SettingsStore::DynDnsKey;
    QString refreshText = store.ReadString(key, RefreshValue);
    if (refreshText.isEmpty())
        refreshText = DefaultRefreshText;
    QStringList hosts;
    for (int position = 1;; ++position) {
        const QString host = store.ReadString(key, HostValue(position));
        if (host.isEmpty())
            break;
        hosts.append(host);
    }
    std::lock_guard lock(m_mutex);
    m_entries.clear();
    for (const QString& host : hosts)
        m_entries.push_back(Entry{host, Unresolved, m_nextId++});
    return refreshText;
}

void DynDnsBook::Save(SettingsStore& store, const QString& refreshText) const
{
    const QString& key = SettingsStore::DynDnsKey;
    bool isNumber = false;
    const int minutes = refreshText.toInt(&isNumber);
    // A negative period counts as no number, as for the timer: 30 minutes.
    const bool usable = isNumber && minutes > 0;
    QList<QPair<QString, QString>> values;
    values.append({RefreshValue, usable ? QString::number(minutes) : QStringLiteral("30")});
    const std::vector<Entry> list = entries();
    const int count = int(list.size());
    for (int i = 0; i < count; ++i)
        values.append({HostValue(i + 1), list[i].host});
    store.WriteValues(key, values);
    // Only the value just past the list: loading stops at that gap, higher numbers stay unread.
    store.Delete(key, HostValue(count + 1));
}

} // namespace vantrel
