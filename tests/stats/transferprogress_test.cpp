#include "stats/progresstexts.h"
#include "stats/transferprogress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace vantrel {
namespace {

constexpr std::uint32_t Max = std::numeric_limits<std::uint32_t>::max();

TEST(TransferProgress, SpeedAndTimeLeftOverWholeSeconds)
{
    const struct
    {
        const char* what;
        std::uint32_t startMs, startBytes, nowMs, bytes, total;
        std::optional<std::uint32_t> speed; // none: not a whole second, no reading
        std::optional<std::uint32_t> left;
    } cases[] = {
        {"under a second", 1000, 0, 1999, 5000, 10000, std::nullopt, std::nullopt},
        {"two seconds", 50000, 0, 52000, 20480, 102400, 10240, 8},
        {"seconds are whole", 0, 0, 2999, 3000, 9000, 1500, 4},
        {"a resume counts only new bytes", 0, 33333, 3000, 36333, 90000, 1000, 53},
        {"nothing moved", 0, 4096, 2000, 4096, 8192, 0, std::nullopt},
        {"the last block ran past the end", 0, 0, 1000, 5000, 4096, 5000, 0},
        {"across the wrap of the tick", Max - 999, 0, 1000, 4000, 4000, 2000, 0},
        {"an empty stream", 0, 0, 2000, 0, 0, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TransferProgress progress;
        progress.Start(c.startMs, c.startBytes);
        const auto reading = progress.Measure(c.nowMs, c.bytes, c.total);
        ASSERT_EQ(reading.has_value(), c.speed.has_value());
        if (!reading)
            continue;
        EXPECT_EQ(reading->bytesPerSecond, *c.speed);
        EXPECT_EQ(reading->secondsLeft, c.left);
    }
}

TEST(TransferProgress, AReadingTooSoonLeavesTheIntervalOpen)
{
    TransferProgress progress;
    progress.Start(0, 0);
    EXPECT_FALSE(progress.Measure(500, 1000, 10000));
    const auto reading = progress.Measure(2000, 4000, 10000); // two seconds since the start
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->bytesPerSecond, 2000u);
    const auto next = progress.Measure(3000, 5000, 10000); // one second since that reading
    ASSERT_TRUE(next);
    EXPECT_EQ(next->bytesPerSecond, 1000u);
    EXPECT_EQ(next->secondsLeft, 5u);
}

TEST(TransferProgress, PercentIsExactTruncatedAndCapped)
{
    const struct
    {
        std::uint32_t done, total;
        int percent;
    } cases[] = {
        {0, 0, 100},   {0, 100, 0},     {20480, 102400, 20}, {29, 100, 29},     {1, 3, 33},
        {99, 100, 99}, {Max, Max, 100}, {Max - 1, Max, 99},  {5000, 4096, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TransferProgress::Percent(c.done, c.total), c.percent)
            << c.done << " of " << c.total;
}

TEST(TransferProgress, EfficiencyRoundsAndGoesNegativeForAnArchiveLargerThanItsContent)
{
    const struct
    {
        std::uint32_t total, archive;
        const char* text;
    } cases[] = {
        {1000, 400, "60% Efficiency"},
        {1000, 1010, "00% Efficiency"}, // -1 plus 0.5 truncates to 0
        {1000, 1020, "-1% Efficiency"},
        {1000, 994, "01% Efficiency"},
        {1000, 0, "100% Efficiency"},
        {10, 150, "-1399% Efficiency"},
        {1, Max, "-429496729399% Efficiency"}, // far beyond 32 bits, and no wrap
        {0, 0, "00% Efficiency"},              // an empty content saves nothing
        {0, 122, "00% Efficiency"},
        {Max, 1, "100% Efficiency"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(
            ProgressTexts::Efficiency(TransferProgress::EfficiencyPercent(c.total, c.archive)),
            QLatin1String(c.text));
    }
}

TEST(ProgressTexts, TimeLeftSpeedAndPercent)
{
    const struct
    {
        std::optional<std::uint32_t> seconds;
        const char* text;
    } cases[] = {
        {std::nullopt, "N/A"},     {0, "00:00.00"},
        {8, "00:00.08"},           {3 * 3600 + 25 * 60 + 7, "03:25.07"},
        {100 * 3600, "100:00.00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressTexts::TimeLeft(c.seconds), QLatin1String(c.text)) << c.text;
    EXPECT_EQ(ProgressTexts::Speed(QStringLiteral("1.50 Kb")), QStringLiteral("1.50 Kb/sec"));
    EXPECT_EQ(ProgressTexts::Percent(37), QStringLiteral("37%"));
    EXPECT_EQ(ProgressTexts::NotAvailable(), QStringLiteral("N/A"));
}

} // namespace
} // namespace vantrel
