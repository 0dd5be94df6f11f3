#include "send/sendstatustexts.h"

#include "net/connecttexts.h"

namespace vantrel {

using SecureChannel::ConnectFailure;
using SecureChannel::ConnectStep;

QString SendStatusTexts::Connect(ConnectStatus status, const QString& subject)
{
    switch (status) {
    case ConnectStatus::Resolving:
        return ConnectTexts::Resolving();
    case ConnectStatus::TlsUnavailable:
        return ConnectTexts::TlsUnavailable();
    case ConnectStatus::Unresolved:
        return ConnectTexts::Unresolved(subject);
    case ConnectStatus::Connecting:
        return ConnectTexts::Connecting(subject);
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
    return ConnectTexts::Step(step, peer);
}

QString SendStatusTexts::Failure(ConnectFailure failure, const QString& peer)
{
    return ConnectTexts::Failure(failure, peer);
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
    case DataStatus::SourceChanged:
        return tr("Status: '%1' changed while it was sent").arg(source);
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
