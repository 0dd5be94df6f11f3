#pragma once

#include "net/tlssession.h"
#include "tunnel/tunnelwaiter.h"

#include <memory>

namespace vantrel {

// The record a tunnel row owns: the tunnel's session (none once handed on or closed) and, on
// an Outgoing row, the waiter reading from it. The waiter goes first: it uses the session.
struct TunnelHandle
{
    std::unique_ptr<TlsSession> session;
    std::unique_ptr<TunnelWaiter> waiter;
};

} // namespace vantrel
