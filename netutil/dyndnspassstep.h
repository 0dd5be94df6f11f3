#pragma once

#include <cstdint>

namespace vantrel {

// What a refresh pass hands to its refresher: it started with `total` entries, or one more
// entry is done, or it ended. `pass` tells a stopped pass's late steps from the current one's.
struct DynDnsPassStep
{
    enum class Kind
    {
        Started,
        Advanced,
        Ended
    };
    std::uint64_t pass = 0;
    Kind kind = Kind::Started;
    int total = 0;
    int done = 0;
};

} // namespace vantrel
