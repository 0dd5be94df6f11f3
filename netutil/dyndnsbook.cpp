#include "netutil/dyndnsbook.h"

#include "net/securechannel.h"

namespace vantrel {

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
    m_entries.push_back(Entry{host, address});
}

std::vector<DynDnsBook::Entry> DynDnsBook::entries() const
{
    std::lock_guard lock(m_mutex);
    return m_entries;
}

} // namespace vantrel
