#pragma once

#include <atomic>
#include <cstdint>

namespace vantrel {

// The words a transfer shares with its workers: no locks, 32-bit like the wire.
struct SendCounters
{
    std::atomic<std::uint32_t> sentBytes{0};       // stream position reached
    std::atomic<std::uint32_t> bandLimit{0};       // Kb/sec, 0 = none
    std::atomic<std::uint32_t> bandWindowBytes{0}; // written since the progress tick cleared it
};

} // namespace vantrel
