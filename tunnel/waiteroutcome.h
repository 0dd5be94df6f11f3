#pragma once

#include "net/wirerecords.h"

#include <cstdint>
#include <optional>

namespace vantrel::tunnel {

// What a tunnel's waiter read, handed to the tunnel list. The session never travels with it:
// it stays in the row's handle, so whoever ends the row frees it.
struct WaiterOutcome
{
    std::uint64_t rowId = 0;
    // The request that arrived; none when the tunnel closed before a whole one came.
    std::optional<RequestHeader> request;
    // The request was of another protocol version: it was answered and the session closed.
    bool versionMismatch = false;
};

} // namespace vantrel::tunnel
