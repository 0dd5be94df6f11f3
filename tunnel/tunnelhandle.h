#pragma once

#include "net/tlssession.h"

#include <memory>

namespace vantrel {

// The record a tunnel row owns: the tunnel's session (none once handed on or closed).
struct TunnelHandle
{
    std::unique_ptr<TlsSession> session;
};

} // namespace vantrel
