#include "send/sendtexts.h"

#include <gtest/gtest.h>

namespace vantrel {

TEST(SendTexts, EfficiencyRoundsAndNeverDividesByZero)
{
    const struct
    {
        std::uint32_t total;
        std::uint32_t archive;
        const char* text;
    } cases[] = {
        {1000, 400, "60% Efficiency"},  {1000, 1010, "00% Efficiency"},
        {1000, 1020, "-1% Efficiency"}, {1000, 994, "01% Efficiency"},
        {1000, 0, "100% Efficiency"},   {0, 0, "00% Efficiency"},
        {0, 122, "00% Efficiency"},     {4294967295u, 1, "100% Efficiency"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(sendtexts::Efficiency(c.total, c.archive), QString::fromLatin1(c.text));
    }
}

TEST(SendTexts, TimeLeftAndPercent)
{
    EXPECT_EQ(sendtexts::TimeLeft(0), QStringLiteral("00:00.00"));
    EXPECT_EQ(sendtexts::TimeLeft(8), QStringLiteral("00:00.08"));
    EXPECT_EQ(sendtexts::TimeLeft(3 * 3600 + 25 * 60 + 7), QStringLiteral("03:25.07"));
    EXPECT_EQ(sendtexts::TimeLeft(100 * 3600), QStringLiteral("100:00.00"));
    EXPECT_EQ(sendtexts::Percent(20480, 102400), QStringLiteral("20%"));
    EXPECT_EQ(sendtexts::Percent(4294967295u, 4294967295u), QStringLiteral("100%"));
    EXPECT_EQ(sendtexts::Percent(0, 0), QStringLiteral("100%"));
    EXPECT_EQ(sendtexts::LargeSize(std::uint64_t{1} << 32), QStringLiteral("4096.00 Mb"));
}

} // namespace vantrel
