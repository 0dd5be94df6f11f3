#pragma once

#include <QString>

namespace vantrel {

// Where a tunnel stands, as its row in the tunnel list shows it.
enum class TunnelState
{
    Open,    // registered and waiting: a send can take it
    Used,    // handed to a send
    Closed,  // closed while it was open
    Dropped, // refused by the incoming policy
};

// The tunnel list's status images.
constexpr int TunnelImageUsable = 2;
constexpr int TunnelImageUnusable = 4;

// The row's status text: "Open", "Used", "Closed" or "Dropped".
QString TunnelStateText(TunnelState state);
// TunnelImageUsable while the tunnel is open, TunnelImageUnusable otherwise.
int TunnelStateImage(TunnelState state);

} // namespace vantrel
