#pragma once

#include "stats/bandpacer.h"

#include <atomic>
#include <cstdint>

namespace vantrel {

// The words a transfer shares with its workers: no locks, 32-bit like the wire.
struct SendCounters
{
    std::atomic<std::uint32_t> sentBytes{0}; // stream position reached
    BandPacer pacer; // its limit is set from the UI thread, the rest is the data worker's
};

} // namespace vantrel
