#pragma once

#include "net/securechannel.h"

#include <QCoreApplication>
#include <QString>

namespace vantrel {

// The status-line words of a client connection (a send, the tunnel opener), from the name
// lookup to the end of the handshake.
class ConnectTexts
{
    Q_DECLARE_TR_FUNCTIONS(ConnectTexts)
public:
    static QString Resolving();
    static QString Unresolved(const QString& host);
    static QString Connecting(const QString& address);
    static QString TlsUnavailable();
    static QString Step(SecureChannel::ConnectStep step, const QString& peer);
    static QString Failure(SecureChannel::ConnectFailure failure, const QString& peer);
};

} // namespace vantrel
