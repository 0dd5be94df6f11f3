#include "stats/ratecounters.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

// Several transfer loops add while the tick drains: every byte is counted exactly once.
TEST(RateCounters, ConcurrentAddsAreAllTakenOnce)
{
    RateCounters counters;
    constexpr int Threads = 4;
    constexpr int AddsPerThread = 50000;
    std::atomic<int> running{Threads};
    std::uint64_t takenDown = 0;
    std::uint64_t takenUp = 0;

    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([&counters, &running, t] {
            for (int i = 0; i < AddsPerThread; ++i) {
                counters.AddDownload(static_cast<std::uint32_t>(1 + (i + t) % 7));
                counters.AddUpload(static_cast<std::uint32_t>(1 + (i + t) % 3));
            }
            running.fetch_sub(1);
        });
    }
    while (running.load() > 0) {
        const RateCounters::Taken taken = counters.TakeAndReset();
        takenDown += taken.downloadBytes;
        takenUp += taken.uploadBytes;
    }
    for (std::thread& worker : workers)
        worker.join();
    const RateCounters::Taken rest = counters.TakeAndReset();
    takenDown += rest.downloadBytes;
    takenUp += rest.uploadBytes;

    std::uint64_t expectedDown = 0;
    std::uint64_t expectedUp = 0;
    for (int t = 0; t < Threads; ++t) {
        for (int i = 0; i < AddsPerThread; ++i) {
            expectedDown += 1 + (i + t) % 7;
            expectedUp += 1 + (i + t) % 3;
        }
    }
    EXPECT_EQ(takenDown, expectedDown);
    EXPECT_EQ(takenUp, expectedUp);

    const RateCounters::Taken empty = counters.TakeAndReset();
    EXPECT_EQ(empty.downloadBytes, 0u);
    EXPECT_EQ(empty.uploadBytes, 0u);
}

} // namespace
} // namespace vantrel
