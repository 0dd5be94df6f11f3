#include "net/connecttexts.h"

namespace vantrel {

using SecureChannel::ConnectFailure;
using SecureChannel::ConnectStep;

QString ConnectTexts::Resolving()
{
    return tr("Status: Resolving Hostname...");
}

QString ConnectTexts::Unresolved(const QString& host)
{
    return tr("Status: Unable to resolve Hostname '%1'").arg(host);
}

QString ConnectTexts::Connecting(const QString& address)
{
    return tr("Status: Connecting to %1").arg(address);
}

QString ConnectTexts::TlsUnavailable()
{
    return tr("Status: Unable to initialize SSL Lib");
}

QString ConnectTexts::Step(ConnectStep step, const QString& peer)
{
    switch (step) {
    case ConnectStep::HandShaking:
        return tr("Status: SSL HandShake with '%1'").arg(peer);
    case ConnectStep::Verified:
        break;
    }
    return tr("Status: SSL HandShake and Certificate Verification passed");
}

QString ConnectTexts::Failure(ConnectFailure failure, const QString& peer)
{
    switch (failure) {
    case ConnectFailure::None:
        return QString();
    case ConnectFailure::TrustList:
        return tr("Status: Unable to load SSL Client Authorized Certificates List");
    case ConnectFailure::Connect:
        return tr("Status: Unable to connect to '%1'").arg(peer);
    case ConnectFailure::HandShake:
        return tr("Status: SSL HandShake failed with '%1'").arg(peer);
    case ConnectFailure::Verification:
        break;
    }
    return tr("Status: SSL Certificate Verification failed with '%1'").arg(peer);
}

} // namespace vantrel
