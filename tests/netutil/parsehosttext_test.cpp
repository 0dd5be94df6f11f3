#include "netutil/parsehosttext.h"

#include <gtest/gtest.h>

namespace vantrel {

TEST(ParseHostText, TypedTextsAndRecentEntriesGiveHostAndPort)
{
    const struct
    {
        const char* text;
        const char* host;
        std::uint16_t port;
    } cases[] = {
        {"pc1", "pc1", 12666},
        {"  pc1  ", "pc1", 12666},
        {"pc1:8080 (Bob)", "pc1", 8080},
        {"pc1 (Bob)", "pc1", 12666},
        {"pc1:-5", "pc1", 12666},
        {"pc1:abc", "pc1", 12666},
        {"pc1:", "pc1", 12666},
        {"pc1:0", "pc1", 0},
        {"pc1:65535", "pc1", 65535},
        {"pc1:65536", "pc1", 0},
        {"pc1:70000", "pc1", 70000 - 65536},
        {"pc1:99999999999", "pc1", static_cast<std::uint16_t>(99999999999ULL % 65536)},
        {"pc1:8080x", "pc1", 8080},
        {"pc1: 8080", "pc1", 8080},
        {"10.0.0.7:9000 (Ann (laptop))", "10.0.0.7", 9000},
        {"host.example:12 (x:5)", "host.example", 12},
        {"(Bob)", "", 12666},
        {"", "", 12666},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const HostAndPort parsed = ParseHostText(QString::fromLatin1(c.text));
        EXPECT_EQ(parsed.host, QString::fromLatin1(c.host));
        EXPECT_EQ(parsed.port, c.port);
    }
}

TEST(ParseHostText, TunnelChoicesLoseTheNickAndTheBlankBeforeIt)
{
    EXPECT_EQ(TunnelHostText(QStringLiteral("pc1 (Ann)")), QStringLiteral("pc1"));
    EXPECT_EQ(TunnelHostText(QStringLiteral("10.1.1.1 (x)")), QStringLiteral("10.1.1.1"));
    EXPECT_EQ(TunnelHostText(QStringLiteral("pc1")), QStringLiteral("pc1"));
    EXPECT_EQ(TunnelHostText(QStringLiteral("(Ann)")), QString());
}

} // namespace vantrel
