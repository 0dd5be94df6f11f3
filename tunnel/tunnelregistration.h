#pragma once

#include "tunnel/tunnelhandle.h"
#include "tunnel/tunnelstate.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace vantrel {

// A tunnel registration as the hub records it (the payload of UM_TUNNEL_REGISTERED).
struct TunnelRegistration
{
    QString peerName;
    QByteArray nickName;
    TunnelState state = TunnelState::Dropped; // Open or Dropped
    std::unique_ptr<TunnelHandle> tunnel;     // set only when open
};

} // namespace vantrel
