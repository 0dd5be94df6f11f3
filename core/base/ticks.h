#pragma once

#include <chrono>
#include <cstdint>

namespace vantrel {

// The 32-bit millisecond tick count of a monotonic clock; wraps like the system's.
inline std::uint32_t TickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace vantrel
