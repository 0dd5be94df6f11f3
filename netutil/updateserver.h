#pragma once

#include <QByteArray>
#include <QString>

namespace vantrel {

// Where the update check asks: the server's host name and port, and the address whose
// reverse lookup tells whether names resolve at all. An empty host means no server: every
// check then ends silently.
struct UpdateServer
{
    QString host;
    int port = 80;
    QString probeAddress;

    bool configured() const { return !host.isEmpty(); }
    // The request, every line ending in a single line feed, the text in two.
    QByteArray RequestText() const;
    // The build's server, unless the settings store names another (UpdateHost, UpdatePort,
    // UpdateProbeAddress); the build's defaults name none.
    static UpdateServer FromSettings(const QString& host, const QString& port,
                                     const QString& probeAddress);
};

} // namespace vantrel
