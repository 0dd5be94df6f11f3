#include "tunnel/tunnelstate.h"

namespace vantrel {

QString TunnelStateText(TunnelState state)
{
    switch (state) {
    case TunnelState::Open:
        return QStringLiteral("Open");
    case TunnelState::Used:
        return QStringLiteral("Used");
    case TunnelState::Closed:
        return QStringLiteral("Closed");
    case TunnelState::Dropped:
        break;
    }
    return QStringLiteral("Dropped");
}

int TunnelStateImage(TunnelState state)
{
    return state == TunnelState::Open ? TunnelImageUsable : TunnelImageUnusable;
}

} // namespace vantrel
