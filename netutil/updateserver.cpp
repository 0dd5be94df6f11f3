#include "netutil/updateserver.h"

namespace vantrel {

QByteArray UpdateServer::RequestText() const
{
    return QByteArrayLiteral("GET /bsmcgis/vntcheckupdate.cgi?language=EN HTTP/1.0\n"
                             "Connection: Keep-Alive\n"
                             "User-Agent: Brismoor (compatible; Bsm; Windows)\n"
                             "Host: ") +
           host.toUtf8() + QByteArrayLiteral(":80\n\n");
}

UpdateServer UpdateServer::FromSettings(const QString& host, const QString& port,
                                        const QString& probeAddress)
{
    UpdateServer server;
    server.host = host.isEmpty() ? QStringLiteral(VANTREL_UPDATE_HOST) : host;
    server.probeAddress =
        probeAddress.isEmpty() ? QStringLiteral(VANTREL_UPDATE_PROBE) : probeAddress;
    bool ok = false;
    const int number = port.toInt(&ok);
    if (ok && number > 0 && number < 65536)
        server.port = number;
    return server;
}

} // namespace vantrel
