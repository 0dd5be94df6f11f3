#pragma once

#include <QStringList>

#include <cstdint>
#include <vector>

namespace vantrel {

// The computer's own IPv4 addresses, as the Local Addresses list shows them.
class LocalAddresses
{
public:
    struct Interface
    {
        bool loopback = false;
        bool hasIpv4 = false;
        std::uint32_t address = 0; // host order
    };

    // In the order the system reports them; empty when the query fails.
    static QStringList Query();
    // The rows for `interfaces`: loopback, address-less and 0.0.0.0 entries left out.
    static QStringList Rows(const std::vector<Interface>& interfaces);
};

} // namespace vantrel
