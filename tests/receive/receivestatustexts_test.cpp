// The receive side's status-line words for an outcome: the texts of the receive window and
// of the row's Status cell, and the detail of the headless copy's lines.
#include "receive/receivestatustexts.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Reason = ReceiveReason;
using State = ReceiveState;

TEST(ReceiveStatusTexts, EachStateAndEndingHasItsWords)
{
    const struct
    {
        State state;
        Reason reason;
        bool resumeAsked;
        const char* text;
    } cases[] = {
        {State::Pending, Reason::None, false, "New receive request"},
        {State::ResumeQuestion, Reason::None, true, "New receive request"},
        {State::WaitingForData, Reason::None, false, "Waiting for data..."},
        {State::Receiving, Reason::None, false, "Receiving data"},
        {State::Decompressing, Reason::None, false, "Decompressing data"},
        {State::Completed, Reason::Received, false, "Completed"},
        {State::Completed, Reason::ReceivedWithSkippedEntries, false,
         "Completed (some entries skipped)"},
        {State::Interrupted, Reason::Cancelled, false, "Aborted"},
        {State::Closed, Reason::Cancelled, false, "Aborted"},
        {State::Interrupted, Reason::InterruptedByExit, false, "Stopped: the program ended"},
        // The reply's failure is worded as the button that answered words it.
        {State::Failed, Reason::ReplyFailed, false, "Connection error"},
        {State::Failed, Reason::ReplyFailed, true, "Connection Error"},
        {State::Failed, Reason::NoDataHeader, false, "Connection error"},
        {State::Failed, Reason::NoDataHeader, true, "Connection error"},
        {State::Failed, Reason::DataMismatch, false, "Data does not match the request"},
        {State::Failed, Reason::NoTemporaryArchive, false, "Unable to create a temporary archive"},
        {State::Failed, Reason::PartialCopyGone, true,
         "The partial copy to resume is no longer available"},
        {State::Interrupted, Reason::ConnectionReset, false, "Connection Error"},
        {State::Interrupted, Reason::DiskWriteError, false, "Disk write error"},
        {State::Failed, Reason::ArchiveTooLarge, false, "Archive larger than announced"},
        {State::Closed, Reason::ArchiveDamaged, false, "Decompression failed"},
    };
    for (const auto& c : cases) {
        ReceiveOutcome outcome;
        outcome.state = c.state;
        outcome.reason = c.reason;
        outcome.resumeAsked = c.resumeAsked;
        EXPECT_EQ(ReceiveStatusTexts::Of(outcome), QLatin1String(c.text)) << c.text;
    }
}

TEST(ReceiveStatusTexts, UnwritableTargetIsNamed)
{
    ReceiveOutcome outcome;
    outcome.state = State::Failed;
    outcome.reason = Reason::CannotWriteTarget;
    outcome.problemPath = QStringLiteral("/in/Grüße.bin");
    EXPECT_EQ(ReceiveStatusTexts::Of(outcome), QStringLiteral("Unable to write /in/Grüße.bin"));
}

} // namespace
} // namespace vantrel
