#pragma once

#include "net/tlssession.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace vantrel {

// The record a tunnel row owns: the tunnel's session (none once handed on or closed).
// Outgoing tunnels also own their waiting thread; that arrives with the tunnel list.
struct TunnelHandle
{
    std::unique_ptr<TlsSession> session;
};

// A tunnel registration as the hub records it (the payload of UM_TUNNEL_REGISTERED).
struct TunnelRegistration
{
    QString peerName;
    QByteArray nickName;
    QString statusText;                   // "Open" or "Dropped"
    int statusImage = 0;                  // 2 open, 4 dropped
    std::unique_ptr<TunnelHandle> tunnel; // set only when open
};

} // namespace vantrel
