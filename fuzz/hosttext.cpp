// Host texts as a person types them or as the recent hosts list keeps them ("host:port (nick)"),
// and tunnel choices ("host (nick)").
#include "scratchfolder.h"

#include "netutil/parsehosttext.h"

#include <QString>

#include <cstddef>
#include <cstdint>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const HostAndPort parsed = ParseHostText(text);
    if (parsed.host.contains(QLatin1Char('(')) || parsed.host != parsed.host.trimmed())
        fuzz::Fail("a host keeps a nickname or blanks");
    // Reading a parsed text again changes nothing.
    const HostAndPort again =
        ParseHostText(parsed.host + QLatin1Char(':') + QString::number(parsed.port));
    if (!parsed.host.contains(QLatin1Char(':')) &&
        (again.host != parsed.host || again.port != parsed.port))
        fuzz::Fail("a parsed host text reads differently the second time");

    const QString tunnelHost = TunnelHostText(text);
    if (tunnelHost.contains(QLatin1Char('(')) || tunnelHost.size() > text.size())
        fuzz::Fail("a tunnel host keeps its nickname");
    return 0;
}
