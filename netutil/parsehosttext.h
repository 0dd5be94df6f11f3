#pragma once

#include "net/wirerecords.h"

#include <QString>

#include <cstdint>

namespace vantrel {

struct HostAndPort
{
    QString host;
    std::uint16_t port = DefaultServerPort;
};

// A typed host text, possibly a recent-hosts entry "host:port (nick)", to a host name and
// port: everything from the first "(" is ignored, blanks around are removed, and ":port"
// gives the port. No ":", no number after it, or a negative number mean the default port; only the
// low 16 bits of the number are kept.
HostAndPort ParseHostText(const QString& text);

// The host part of a tunnel choice "host (nick)": the text before the first "(", without
// the blank in front of it.
QString TunnelHostText(const QString& choice);

} // namespace vantrel
