#include "send/sendstatustexts.h"

namespace vantrel {

using SecureChannel::ConnectFailure;
using SecureChannel::ConnectStep;

QString SendStatusTexts::Step(ConnectStep step, const QString& peer)
{
    switch (step) {
    case ConnectStep::HandShaking:
        return tr("Status: SSL HandShake with '%1'").arg(peer);
    case ConnectStep::Verified:
        break;
    }
    return tr("Status: SSL HandShake and Certificate Verification passed");
}

QString SendStatusTexts::Failure(ConnectFailure failure, const QString& peer)
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

QString SendStatusTexts::Data(DataStatus status, const QString& source)
{
    switch (status) {
    case DataStatus::SendingHeader:
        return tr("Status: Sending header to other side");
    case DataStatus::SendingData:
        return tr("Status: Sending data to other side");
    case DataStatus::Completed:
        return tr("Status: File Transfer Completed");
    case DataStatus::ConnectionReset:
        return tr("Status: Connection reset by peer");
    case DataStatus::SourceUnopenable:
        return tr("Status: Unable to open '%1'").arg(source);
    case DataStatus::SourceUnreadable:
        return tr("Status: Unable to read '%1'").arg(source);
    case DataStatus::SourceShrank:
        return tr("Status: '%1' became shorter while it was sent").arg(source);
    case DataStatus::ResumeBeyondEnd:
        break;
    }
    return tr("Status: Other side asked to resume beyond the end of the data");
}

} // namespace vantrel
