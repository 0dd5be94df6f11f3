#include "netutil/dyndnsbook.h"

namespace vantrel {

namespace {

QString DottedAddress(std::uint32_t ipv4HostOrder)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(ipv4HostOrder >> 24)
        .arg((ipv4HostOrder >> 16) & 0xff)
        .arg((ipv4HostOrder >> 8) & 0xff)
        .arg(ipv4HostOrder & 0xff);
}

} // namespace

std::optional<QString> DynDnsBook::NameForAddress(std::uint32_t ipv4HostOrder) const
{
    const QString dotted = DottedAddress(ipv4HostOrder);
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
