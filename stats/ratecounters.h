#pragma once

#include <atomic>
#include <cstdint>

namespace vantrel {

// Program-wide byte counters fed by every transfer loop and drained by the statistics tick.
class RateCounters
{
public:
    struct Taken
    {
        std::uint32_t downloadBytes;
        std::uint32_t uploadBytes;
    };

    void AddDownload(std::uint32_t n) { m_download.fetch_add(n, std::memory_order_relaxed); }
    void AddUpload(std::uint32_t n) { m_upload.fetch_add(n, std::memory_order_relaxed); }
    Taken TakeAndReset()
    {
        return {m_download.exchange(0, std::memory_order_relaxed),
                m_upload.exchange(0, std::memory_order_relaxed)};
    }

    std::uint32_t lastTick = 0; // UI thread only

private:
    std::atomic<std::uint32_t> m_download{0};
    std::atomic<std::uint32_t> m_upload{0};
};

} // namespace vantrel
