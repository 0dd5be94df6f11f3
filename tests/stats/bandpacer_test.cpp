#include "stats/bandpacer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

// A clock that moves only when the test moves it; the pacer may read it from another thread.
struct ManualClock
{
    std::shared_ptr<std::atomic<std::uint32_t>> now;

    explicit ManualClock(std::uint32_t start)
        : now(std::make_shared<std::atomic<std::uint32_t>>(start))
    {
    }
    BandPacer::Clock Clock() const
    {
        return [now = now] { return now->load(); };
    }
    void Advance(std::uint32_t ms) const { now->fetch_add(ms); }
};

struct Step
{
    std::uint32_t advanceMs; // before the block
    std::int64_t newLimit;   // before the block; -1 keeps it
    std::uint32_t bytes;
    bool full;
};

TEST(BandPacer, CountsEachWindowOfTheTransfersClock)
{
    const struct
    {
        const char* what;
        std::uint32_t startMs;
        std::uint32_t limit;
        std::vector<Step> steps;
    } cases[] = {
        {"full at limit x 2048", 0, 1, {{0, -1, 1024, false}, {0, -1, 1024, true}}},
        {"the window's end clears the count",
         0,
         1,
         {{0, -1, 2048, true}, {2000, -1, 1024, false}, {0, -1, 1024, true}}},
        {"not a millisecond early",
         0,
         1,
         {{0, -1, 2048, true}, {1999, -1, 1, true}, {1, -1, 1, false}}},
        {"across the wrap of the 32-bit tick",
         0xFFFFFF00u,
         2,
         {{0, -1, 4096, true}, {1000, -1, 1, true}, {1000, -1, 1, false}}},
        {"windows keep to the grid of the start",
         0,
         1,
         {{0, -1, 2048, true}, {4500, -1, 1024, false}, {1499, -1, 1024, true}, {1, -1, 1, false}}},
        {"a block larger than the window", 0, 1, {{0, -1, 4096, true}, {2000, -1, 1, false}}},
        {"no limit counts nothing", 0, 0, {{0, -1, 1u << 31, false}, {0, 1, 1024, false}}},
        {"a huge limit does not wrap", 0, 0xFFFFFFFFu, {{0, -1, 0xFFFFFFFFu, false}}},
        {"a limit lowered mid-window", 0, 4, {{0, -1, 6000, false}, {0, 2, 1, true}}},
        {"a limit raised mid-window", 0, 1, {{0, -1, 2048, true}, {0, 2, 1, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ManualClock clock(c.startMs);
        BandPacer pacer;
        pacer.SetLimit(c.limit);
        pacer.Start(clock.Clock());
        int index = 0;
        for (const Step& step : c.steps) {
            clock.Advance(step.advanceMs);
            if (step.newLimit >= 0)
                pacer.SetLimit(static_cast<std::uint32_t>(step.newLimit));
            EXPECT_EQ(pacer.Count(step.bytes), step.full) << "step " << index;
            ++index;
        }
    }
}

// A loop that moves large blocks asks how much may go: exactly what fills the window.
TEST(BandPacer, AllowanceStopsALargeBlockAtTheWindowsEdge)
{
    const struct
    {
        const char* what;
        std::uint32_t countingLimit; // while the earlier bytes moved
        std::uint32_t countedFirst;  // moved earlier in the window
        std::uint32_t limit;         // then the limit becomes this
        std::uint32_t advanceMs;     // and the clock moves
        std::uint32_t wanted;
        std::uint32_t allowed;
    } cases[] = {
        {"no limit lets all of it go", 0, 0, 0, 0, 65536, 65536},
        {"an empty window takes up to limit x 2048", 1, 0, 1, 0, 65536, 2048},
        {"what the window still has", 4, 6000, 4, 0, 65536, 8192 - 6000},
        {"a small block goes whole", 4, 6000, 4, 0, 100, 100},
        {"a full window lets nothing go", 1, 2048, 1, 0, 65536, 0},
        {"a window overrun by a lowered limit lets nothing go", 2, 4000, 1, 0, 1, 0},
        {"the window's end opens a new one", 1, 2048, 1, 2000, 65536, 2048},
        {"a huge limit does not wrap", 0, 0, 0xFFFFFFFFu, 0, 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ManualClock clock(0);
        BandPacer pacer;
        pacer.SetLimit(c.countingLimit);
        pacer.Start(clock.Clock());
        pacer.Count(c.countedFirst);
        pacer.SetLimit(c.limit);
        clock.Advance(c.advanceMs);
        const std::uint32_t allowed = pacer.Allowance(c.wanted);
        EXPECT_EQ(allowed, c.allowed);
        // What was allowed fills the window exactly when it is less than was wanted.
        if (c.limit != 0 && allowed > 0) {
            EXPECT_EQ(pacer.Count(allowed), allowed < c.wanted);
        }
    }
}

// A full window holds the loop until something releases it; each release on another thread.
TEST(BandPacer, AWaitingLoopIsReleasedByTheWindowsEndALiftedLimitOrAStop)
{
    enum class Release
    {
        WindowEnds,
        LimitLifted,
        LimitRaised,
        Stopped
    };
    const struct
    {
        const char* what;
        Release release;
    } cases[] = {
        {"the window ends", Release::WindowEnds},
        {"the limit is set to 0", Release::LimitLifted},
        {"the limit is raised", Release::LimitRaised},
        {"the loop is stopped", Release::Stopped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ManualClock clock(1000);
        BandPacer pacer;
        pacer.SetLimit(1);
        pacer.Start(clock.Clock());
        ASSERT_TRUE(pacer.Count(2048));
        std::atomic<bool> stop{false};
        auto waiting =
            std::async(std::launch::async, [&] { pacer.Wait([&] { return stop.load(); }); });
        // Time that does not reach the window's end holds it.
        clock.Advance(1999);
        EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        switch (c.release) {
        case Release::WindowEnds:
            clock.Advance(1);
            break;
        case Release::LimitLifted:
            pacer.SetLimit(0);
            break;
        case Release::LimitRaised:
            pacer.SetLimit(2);
            break;
        case Release::Stopped:
            stop = true;
            break;
        }
        ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    }
}

TEST(BandPacer, WaitReturnsAtOnceWhenTheWindowHasRoom)
{
    const ManualClock clock(0);
    BandPacer pacer;
    pacer.SetLimit(1);
    pacer.Start(clock.Clock());
    EXPECT_FALSE(pacer.Count(1000));
    pacer.Wait({}); // would never return if it waited: the clock does not move
}

} // namespace
} // namespace vantrel
