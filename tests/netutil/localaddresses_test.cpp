#include "netutil/localaddresses.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(LocalAddressesTest, LeavesOutLoopbackUnaddressedAndZero)
{
    const std::vector<LocalAddresses::Interface> interfaces = {
        {true, true, 0x7f000001},  // loopback
        {false, true, 0xc0a80105}, // 192.168.1.5
        {false, false, 0},         // no IPv4 address
        {false, true, 0},          // 0.0.0.0
        {false, true, 0x0a000002}, // 10.0.0.2
    };
    EXPECT_EQ(LocalAddresses::Rows(interfaces),
              QStringList({QStringLiteral("192.168.1.5"), QStringLiteral("10.0.0.2")}));
    EXPECT_TRUE(LocalAddresses::Rows({{true, true, 0x7f000001}, {false, false, 0}}).isEmpty());
}

TEST(LocalAddressesTest, TheSystemListHasNoLoopback)
{
    for (const QString& row : LocalAddresses::Query()) {
        EXPECT_FALSE(row.startsWith(QStringLiteral("127."))) << row.toStdString();
        EXPECT_NE(row, QStringLiteral("0.0.0.0"));
    }
}

} // namespace
} // namespace vantrel
