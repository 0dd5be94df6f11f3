#include "stats/bandpacer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vantrel {

void BandPacer::Start(Clock clock)
{
    m_clock = std::move(clock);
    m_windowStart = m_clock ? m_clock() : 0;
    m_windowBytes = 0;
}

std::uint32_t BandPacer::Allowance(std::uint32_t wanted)
{
    const std::uint32_t limit = m_limit.load(std::memory_order_relaxed);
    if (limit == 0)
        return wanted;
    Roll();
    const std::uint64_t window = std::uint64_t{limit} * WindowBytesPerKb;
    if (m_windowBytes >= window)
        return 0;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, window - m_windowBytes));
}

bool BandPacer::Count(std::uint32_t bytes)
{
    const std::uint32_t limit = m_limit.load(std::memory_order_relaxed);
    if (limit == 0)
        return false;
    // A window that ended while the loop was busy elsewhere is over before these bytes.
    Roll();
    m_windowBytes += bytes;
    return Full(limit);
}

void BandPacer::Wait(const Stopped& stopped)
{
    for (;;) {
        if (stopped && stopped())
            return;
        const std::uint32_t limit = m_limit.load(std::memory_order_relaxed);
        if (limit == 0)
            return;
        Roll();
        if (!Full(limit))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void BandPacer::Roll()
{
    if (!m_clock)
        return;
    // Unsigned difference: right across the wrap of the 32-bit tick count. Windows stay on
    // the grid that started with the data phase, however late the loop looks.
    const std::uint32_t elapsed = m_clock() - m_windowStart;
    if (elapsed >= WindowMs) {
        m_windowStart += elapsed - elapsed % WindowMs;
        m_windowBytes = 0;
    }
}

bool BandPacer::Full(std::uint32_t limit) const
{
    // In 64 bits: a huge limit must not wrap into a tiny one.
    return m_windowBytes >= std::uint64_t{limit} * WindowBytesPerKb;
}

} // namespace vantrel
