#pragma once

#include <QString>

namespace vantrel {

// What a send is given: where to, what to say, and whether directly or through a tunnel.
struct SendInputs
{
    QString hostText;    // as typed, or a recent-hosts entry "host:port (nick)"
    QString description; // free text that travels with the request
    bool direct = true;  // otherwise a tunnel send
    QString tunnelText;  // the chosen tunnel, "host (nick)"
};

} // namespace vantrel
