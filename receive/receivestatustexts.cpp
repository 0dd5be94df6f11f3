#include "receive/receivestatustexts.h"

namespace vantrel {

namespace {

QString Running(ReceiveState state)
{
    switch (state) {
    case ReceiveState::WaitingForData:
        return ReceiveStatusTexts::tr("Waiting for data...");
    case ReceiveState::Receiving:
        return ReceiveStatusTexts::tr("Receiving data");
    case ReceiveState::Decompressing:
        return ReceiveStatusTexts::tr("Decompressing data");
    case ReceiveState::Pending:
    case ReceiveState::ResumeQuestion:
    case ReceiveState::Completed:
    case ReceiveState::Interrupted:
    case ReceiveState::Failed:
    case ReceiveState::Closed:
        break;
    }
    return ReceiveStatusTexts::tr("New receive request");
}

} // namespace

QString ReceiveStatusTexts::Of(const ReceiveOutcome& outcome)
{
    switch (outcome.reason) {
    case ReceiveReason::None:
        return Running(outcome.state);
    case ReceiveReason::Received:
        return tr("Completed");
    case ReceiveReason::ReceivedWithSkippedEntries:
        return tr("Completed (some entries skipped)");
    case ReceiveReason::Cancelled:
        return tr("Aborted");
    case ReceiveReason::InterruptedByExit:
        return tr("Stopped: the program ended");
    case ReceiveReason::ReplyFailed:
        // The texts of the two answers differ in case: after the resume question it is
        // the one the resume and overwrite buttons show.
        return outcome.resumeAsked ? tr("Connection Error") : tr("Connection error");
    case ReceiveReason::NoDataHeader:
        return tr("Connection error");
    case ReceiveReason::DataMismatch:
        return tr("Data does not match the request");
    case ReceiveReason::CannotWriteTarget:
        return tr("Unable to write %1").arg(outcome.problemPath);
    case ReceiveReason::NoTemporaryArchive:
        return tr("Unable to create a temporary archive");
    case ReceiveReason::PartialCopyGone:
        return tr("The partial copy to resume is no longer available");
    case ReceiveReason::ConnectionReset:
        return tr("Connection Error");
    case ReceiveReason::DiskWriteError:
        return tr("Disk write error");
    case ReceiveReason::ArchiveTooLarge:
        return tr("Archive larger than announced");
    case ReceiveReason::ArchiveDamaged:
        break;
    }
    return tr("Decompression failed");
}

} // namespace vantrel
