#include "stats/ratehistory.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr std::size_t Size = RateHistory::Size;

// A single sample enters as the newest point, walks to the oldest in 49 ticks, and one tick
// later the idle graph is empty again.
TEST(RateHistory, SampleWalksFromNewestToOldestThenTheGraphEmpties)
{
    RateHistory history;
    EXPECT_TRUE(history.DownPoints().empty());
    EXPECT_TRUE(history.UpPoints().empty());

    history.Push(3072.0, 0.0);
    std::vector<double> points = history.DownPoints();
    ASSERT_EQ(points.size(), Size);
    EXPECT_DOUBLE_EQ(points.back(), 3.0); // bytes per second stored as kilobytes per second
    for (std::size_t i = 0; i + 1 < Size; ++i)
        EXPECT_DOUBLE_EQ(points[i], 0.0) << "point " << i;
    // The other direction saw nothing: no graph rather than a flat line.
    EXPECT_TRUE(history.UpPoints().empty());

    for (std::size_t tick = 0; tick < Size - 1; ++tick)
        history.Push(0.0, 0.0);
    points = history.DownPoints();
    ASSERT_EQ(points.size(), Size);
    EXPECT_DOUBLE_EQ(points.front(), 3.0);
    EXPECT_DOUBLE_EQ(points.back(), 0.0);

    history.Push(0.0, 0.0);
    EXPECT_TRUE(history.DownPoints().empty());
}

// After the ring has wrapped, points still come oldest first, for both directions alike.
TEST(RateHistory, PointsComeOldestFirstAfterTheRingWraps)
{
    RateHistory history;
    const int pushes = RateHistory::Size + 7;
    for (int i = 1; i <= pushes; ++i)
        history.Push(1024.0 * i, 2048.0 * i);
    EXPECT_EQ(history.index(), 7);

    const std::vector<double> down = history.DownPoints();
    const std::vector<double> up = history.UpPoints();
    ASSERT_EQ(down.size(), Size);
    ASSERT_EQ(up.size(), Size);
    for (std::size_t i = 0; i < Size; ++i) {
        const double expected = double(pushes - int(Size) + 1 + int(i));
        EXPECT_DOUBLE_EQ(down[i], expected) << "point " << i;
        EXPECT_DOUBLE_EQ(up[i], 2 * expected) << "point " << i;
    }
}

} // namespace
} // namespace vantrel
