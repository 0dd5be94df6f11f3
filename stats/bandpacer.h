#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace vantrel {

// Holds one transfer loop to its band limit: at most limit x 2048 bytes in each window of
// 2000 ms, so that the average stays at the limit in Kb/sec. The windows are measured on the
// transfer's own clock, so pacing goes on whatever the user-interface thread is doing. The
// limit may be changed from any thread; everything else belongs to the loop's thread.
class BandPacer
{
public:
    using Clock = std::function<std::uint32_t()>; // milliseconds, wrapping at 2^32
    using Stopped = std::function<bool()>;

    static constexpr std::uint32_t WindowMs = 2000;
    static constexpr std::uint64_t WindowBytesPerKb = 2048;

    // Kb/sec, 0 = no limit. A running loop applies it from its next block.
    void SetLimit(std::uint32_t kbPerSecond)
    {
        m_limit.store(kbPerSecond, std::memory_order_relaxed);
    }
    std::uint32_t limit() const { return m_limit.load(std::memory_order_relaxed); }

    // Opens the first window at the clock's present: the start of the data phase.
    void Start(Clock clock);
    // How much of a block of `wanted` bytes may move before the window is full: all of it
    // without a limit, 0 when the window is full already (the loop then waits). Lets a loop
    // move large blocks and still stop at the limit, as small blocks would.
    std::uint32_t Allowance(std::uint32_t wanted);
    // Counts a block the loop has moved. True when the window is full: the loop then
    // calls Wait before its next block. Without a limit nothing is counted or measured.
    bool Count(std::uint32_t bytes);
    // Sleeps in steps of 1 ms until the window ends, the limit is lifted or raised above
    // what the window holds, or `stopped` returns true.
    void Wait(const Stopped& stopped);

private:
    // Starts a new, empty window when the current one has ended.
    void Roll();
    bool Full(std::uint32_t limit) const;

    std::atomic<std::uint32_t> m_limit{0};
    Clock m_clock;
    std::uint32_t m_windowStart = 0;
    std::uint64_t m_windowBytes = 0;
};

} // namespace vantrel
