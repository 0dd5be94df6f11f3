#include "send/sendoutcome.h"

namespace vantrel {

using SecureChannel::ConnectFailure;
using SecureChannel::ConnectStep;

bool IsSettled(const SendOutcome& outcome)
{
    switch (outcome.state) {
    case SendState::Completed:
    case SendState::Refused:
    case SendState::Broken:
    case SendState::Closed:
        return true;
    case SendState::Connecting:
    case SendState::WaitingForArchive:
    case SendState::Streaming:
        return false;
    case SendState::Preparing:
        break;
    }
    return outcome.reason != SendReason::None;
}

namespace {

SendReason ConnectReason(ConnectStatus status)
{
    switch (status) {
    case ConnectStatus::TlsUnavailable:
        return SendReason::TlsUnavailable;
    case ConnectStatus::Unresolved:
        return SendReason::Unresolved;
    case ConnectStatus::ResetBeforeReply:
        return SendReason::ConnectionReset;
    case ConnectStatus::OtherVersion:
        return SendReason::VersionMismatch;
    case ConnectStatus::Refused:
        return SendReason::Refused;
    case ConnectStatus::Resolving:
    case ConnectStatus::Connecting:
    case ConnectStatus::Awaiting:
    case ConnectStatus::Confirmed:
        break;
    }
    return SendReason::None;
}

SendReason FailureReason(ConnectFailure failure)
{
    switch (failure) {
    case ConnectFailure::TrustList:
        return SendReason::TrustListUnreadable;
    case ConnectFailure::Connect:
        return SendReason::Unreachable;
    case ConnectFailure::HandShake:
        return SendReason::HandshakeFailed;
    case ConnectFailure::Verification:
        return SendReason::NotTrusted;
    case ConnectFailure::None:
        break;
    }
    return SendReason::None;
}

SendReason DataReason(DataStatus status)
{
    switch (status) {
    case DataStatus::ConnectionReset:
        return SendReason::ConnectionReset;
    case DataStatus::SourceUnopenable:
    case DataStatus::SourceUnreadable:
        return SendReason::SourceUnreadable;
    case DataStatus::SourceShrank:
        return SendReason::SourceShrank;
    case DataStatus::SourceChanged:
        return SendReason::ChangedWhileSent;
    case DataStatus::ResumeBeyondEnd:
        return SendReason::ResumeBeyondEnd;
    case DataStatus::SendingHeader:
    case DataStatus::SendingData:
    case DataStatus::Completed: // delivered only once the transfer has seen it through
        break;
    }
    return SendReason::None;
}

} // namespace

SendReason ReasonOf(const SendNotice::Status& status)
{
    if (const auto* connect = std::get_if<ConnectStatus>(&status))
        return ConnectReason(*connect);
    if (std::holds_alternative<ConnectStep>(status))
        return SendReason::None;
    if (const auto* failure = std::get_if<ConnectFailure>(&status))
        return FailureReason(*failure);
    return DataReason(std::get<DataStatus>(status));
}

} // namespace vantrel
