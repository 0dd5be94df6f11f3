#include "stats/statisticstick.h"

#include "stats/ratecounters.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>

namespace vantrel {
namespace {

constexpr std::uint32_t TickMax = std::numeric_limits<std::uint32_t>::max();

struct RateCase
{
    const char* name;
    std::uint32_t downloadBytes;
    std::uint32_t uploadBytes;
    std::uint32_t lastTick;
    std::uint32_t now;
    const char* download;
    const char* upload;
};

void PrintTo(const RateCase& c, std::ostream* out)
{
    *out << c.name;
}

class StatisticsTickRates : public ::testing::TestWithParam<RateCase>
{
};

// The rate is the bytes over the time that really passed since the previous tick.
TEST_P(StatisticsTickRates, WordsTheRatesOverTheElapsedTime)
{
    const RateCase& c = GetParam();
    RateCounters counters;
    counters.lastTick = c.lastTick;
    counters.AddDownload(c.downloadBytes);
    counters.AddUpload(c.uploadBytes);
    StatisticsTick tick(counters);

    const StatisticsTick::Texts texts = tick.Tick(c.now, 0);

    EXPECT_EQ(texts.downloadRate, QString::fromUtf8(c.download));
    EXPECT_EQ(texts.uploadRate, QString::fromUtf8(c.upload));
    // The tick drained the counters and measures the next interval from now.
    const RateCounters::Taken rest = counters.TakeAndReset();
    EXPECT_EQ(rest.downloadBytes, 0u);
    EXPECT_EQ(rest.uploadBytes, 0u);
    EXPECT_EQ(counters.lastTick, c.now);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatisticsTickRates,
    ::testing::Values(
        RateCase{"NoTraffic", 0, 0, 1000, 3000, "Actual Download Rate: 0 bytes/sec",
                 "Actual Upload Rate: 0 bytes/sec"},
        RateCase{"TwoSeconds", 2000 * 1024, 0, 1000, 3000, "Actual Download Rate: 1000 Kb/sec",
                 "Actual Upload Rate: 0 bytes/sec"},
        RateCase{"DelayedToFourSeconds", 2000 * 1024, 2000 * 1024, 1000, 5000,
                 "Actual Download Rate: 500 Kb/sec", "Actual Upload Rate: 500 Kb/sec"},
        // 15367 bytes over 10 s are 1536.7 bytes per second, truncated to 1536.
        RateCase{"FractionTruncated", 15367, 15367, 0, 10000, "Actual Download Rate: 1.50 Kb/sec",
                 "Actual Upload Rate: 1.50 Kb/sec"},
        // The tick count passes 2^32 between the two ticks: still 2 seconds.
        RateCase{"TickCountWraps", 2000 * 1024, 1024, TickMax - 999, 1000,
                 "Actual Download Rate: 1000 Kb/sec", "Actual Upload Rate: 512 bytes/sec"},
        // A rate beyond 32 bits is shown at the top of the range, not wrapped.
        RateCase{"RateBeyond32Bits", TickMax, 0, 5, 6, "Actual Download Rate: 4096.00 Mb/sec",
                 "Actual Upload Rate: 0 bytes/sec"}),
    [](const ::testing::TestParamInfo<RateCase>& param) { return param.param.name; });

TEST(StatisticsTick, InitialTextsAndActiveCount)
{
    const StatisticsTick::Texts initial = StatisticsTick::InitialTexts();
    EXPECT_EQ(initial.activeTransfers, QStringLiteral("Active Transfers: 0"));
    EXPECT_EQ(initial.downloadRate, QStringLiteral("Actual Download Rate: 0 bytes/sec"));
    EXPECT_EQ(initial.uploadRate, QStringLiteral("Actual Upload Rate: 0 bytes/sec"));

    RateCounters counters;
    StatisticsTick tick(counters);
    EXPECT_EQ(tick.Tick(2000, 3).activeTransfers, QStringLiteral("Active Transfers: 3"));
}

// Ticks within one millisecond measure nothing, and the bytes they saw count in the next tick.
TEST(StatisticsTick, TickWithoutElapsedTimeKeepsTheBytesForTheNext)
{
    RateCounters counters;
    counters.lastTick = 4000;
    StatisticsTick tick(counters);
    counters.AddDownload(1000 * 1024);
    EXPECT_EQ(tick.Tick(4000, 0).downloadRate, QStringLiteral("Actual Download Rate: 0 bytes/sec"));
    counters.AddDownload(1000 * 1024);
    EXPECT_EQ(tick.Tick(6000, 0).downloadRate, QStringLiteral("Actual Download Rate: 1000 Kb/sec"));
}

// Each tick appends its rates, in kilobytes per second, to the history behind the graphs.
TEST(StatisticsTick, AppendsRatesToTheHistory)
{
    RateCounters counters;
    StatisticsTick tick(counters);
    counters.AddDownload(4096);
    tick.Tick(2000, 0);
    counters.AddUpload(2048);
    tick.Tick(4000, 0);

    const std::vector<double> down = tick.history().DownPoints();
    const std::vector<double> up = tick.history().UpPoints();
    ASSERT_EQ(down.size(), std::size_t(RateHistory::Size));
    ASSERT_EQ(up.size(), std::size_t(RateHistory::Size));
    EXPECT_DOUBLE_EQ(down[RateHistory::Size - 2], 2.0);
    EXPECT_DOUBLE_EQ(down[RateHistory::Size - 1], 0.0);
    EXPECT_DOUBLE_EQ(up[RateHistory::Size - 2], 0.0);
    EXPECT_DOUBLE_EQ(up[RateHistory::Size - 1], 1.0);
}

} // namespace
} // namespace vantrel
