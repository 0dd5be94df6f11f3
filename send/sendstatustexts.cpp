#include "send/sendstatustexts.h"

namespace vantrel {

using SecureChannel::ConnectFailure;
using SecureChannel::ConnectStep;

QString SendStatusTexts::Connect(ConnectStatus status, const QString& subject)
{
    switch (status) {
    case ConnectStatus::Resolving:
        return tr("Status: Resolving Hostname...");
    case ConnectStatus::TlsUnavailable:
        return tr("Status: Unable to initialize SSL Lib");
    case ConnectStatus::Unresolved:
        return tr("Status: Unable to resolve Hostname '%1'").arg(subject);
    case ConnectStatus::Connecting:
        return tr("Status: Connecting to %1").arg(subject);
    case ConnectStatus::Awaiting:
        return tr("Status: Awaiting confirmation by other side");
    case ConnectStatus::ResetBeforeReply:
        return tr("Status: Connection reset by peer '%1'").arg(subject);
    case ConnectStatus::Confirmed:
        return tr("Status:%1 confirmed your request").arg(subject);
    case ConnectStatus::OtherVersion:
        return tr("Status: Other side has a different version of Vantrel");
    case ConnectStatus::Refused:
        break;
    }
    return tr("Status: %1 has refused your request").arg(subject);
}

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

QString SendStatusTexts::Of(const SendNotice::Status& status, const QString& subject,
                            const QString& source)
{
    if (const auto* connect = std::get_if<ConnectStatus>(&status))
        return Connect(*connect, subject);
    if (const auto* step = std::get_if<ConnectStep>(&status))
        return Step(*step, subject);
    if (const auto* failure = std::get_if<ConnectFailure>(&status))
        return Failure(*failure, subject);
    return Data(std::get<DataStatus>(status), source);
}

} // namespace vantrel
