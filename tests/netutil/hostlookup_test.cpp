#include "netutil/hostlookup.h"

#include <gtest/gtest.h>

namespace vantrel {

TEST(DynDnsRule, OnlyNamesWhoseReverseDiffersAreOffered)
{
    using hostlookup::Name;
    using hostlookup::Outcome;
    EXPECT_FALSE(hostlookup::IsNameNotAddress(QStringLiteral("192.168.1.20")));
    EXPECT_TRUE(hostlookup::IsNameNotAddress(QStringLiteral("home.dyn.example")));
    EXPECT_TRUE(hostlookup::IsNameNotAddress(QStringLiteral("10.0.0.1a")));

    const QString host = QStringLiteral("Home.Dyn.Example");
    EXPECT_FALSE(hostlookup::ReverseNameDiffers(
        host, Name{Outcome::Found, QStringLiteral("home.dyn.example")}));
    EXPECT_TRUE(hostlookup::ReverseNameDiffers(
        host, Name{Outcome::Found, QStringLiteral("isp-pool-7.example")}));
    EXPECT_TRUE(hostlookup::ReverseNameDiffers(host, Name{Outcome::NotFound, {}}));
}

} // namespace vantrel
