#include "tunnel/tunnelstate.h"

#include <QCoreApplication>

namespace vantrel {

QString TunnelStateText(TunnelState state)
{
    switch (state) {
    case TunnelState::Open:
        return QCoreApplication::translate("TunnelState", "Open");
    case TunnelState::Used:
        return QCoreApplication::translate("TunnelState", "Used");
    case TunnelState::Closed:
        return QCoreApplication::translate("TunnelState", "Closed");
    case TunnelState::Dropped:
        break;
    }
    return QCoreApplication::translate("TunnelState", "Dropped");
}

int TunnelStateImage(TunnelState state)
{
    return state == TunnelState::Open ? TunnelImageUsable : TunnelImageUnusable;
}

} // namespace vantrel
