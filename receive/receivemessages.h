#pragma once

#include "core/base/handover.h"

#include <cstdint>

namespace vantrel {

// The messages a receive transfer takes. Those of its worker carry the worker's run: a result
// that arrives after the transfer stopped that run is stale (RunCounter).
namespace recv {

// Posted by the transfer to itself when it is first shown: move the window aside.
struct UM_RECV_SCATTER
{
};
// Auto-receive steps, each a deferred call of the transfer to itself.
struct UM_RECV_AUTO_ACCEPT
{
};
struct UM_RECV_AUTO_RESUME
{
};
struct UM_RECV_AUTO_SAVE
{
};

// The data header arrived (the worker's header(), after Join).
struct DataHeaderArrived
{
    std::uint64_t run = 0;
};
// The connection ended before a data header.
struct UM_RECV_NO_DATA
{
    std::uint64_t run = 0;
};
// The stream broke; the worker's outcome() says how.
struct UM_RECV_BROKEN
{
    std::uint64_t run = 0;
};
// The stream is complete and the archive is being unpacked.
struct DecompressionStarted
{
    std::uint64_t run = 0;
};
// The data phase has ended; the worker's outcome() says how.
struct UM_RECV_COMPLETED
{
    std::uint64_t run = 0;
};

} // namespace recv

// What a receive worker hands to its transfer.
using ReceiveWorkerInbox =
    Inbox<recv::DataHeaderArrived, recv::UM_RECV_NO_DATA, recv::UM_RECV_BROKEN,
          recv::DecompressionStarted, recv::UM_RECV_COMPLETED>;

} // namespace vantrel
