#include "netutil/localaddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace vantrel {

QStringList LocalAddresses::Rows(const std::vector<Interface>& interfaces)
{
    QStringList rows;
    for (const Interface& entry : interfaces) {
        if (entry.loopback || !entry.hasIpv4 || entry.address == 0)
            continue;
        const std::uint32_t a = entry.address;
        rows << QStringLiteral("%1.%2.%3.%4")
                    .arg(a >> 24)
                    .arg((a >> 16) & 0xff)
                    .arg((a >> 8) & 0xff)
                    .arg(a & 0xff);
    }
    return rows;
}

QStringList LocalAddresses::Query()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    std::vector<Interface> interfaces;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        Interface item;
        item.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
            item.hasIpv4 = true;
            item.address =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        }
        if (item.hasIpv4)
            interfaces.push_back(item);
    }
    freeifaddrs(list);
    return Rows(interfaces);
}

} // namespace vantrel
