#pragma once

#include "net/tlssession.h"
#include "tunnel/tunnelstate.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace vantrel {

// The record a tunnel row owns: the tunnel's session (none once handed on or closed).
struct TunnelHandle
{
    std::unique_ptr<TlsSession> session;
};

// A tunnel registration as the hub records it (the payload of UM_TUNNEL_REGISTERED).
struct TunnelRegistration
{
    QString peerName;
    QByteArray nickName;
    TunnelState state = TunnelState::Dropped; // Open or Dropped
    std::unique_ptr<TunnelHandle> tunnel; // set only when open
};

} // namespace vantrel
