#pragma once

#include <QString>

#include <cstdint>

namespace vantrel {

// Where one incoming transfer stands.
enum class ReceiveState
{
    Pending,        // request shown, not answered
    ResumeQuestion, // a partial copy was found: resume or overwrite?
    WaitingForData, // accepted, the sender prepares its data
    Receiving,
    Decompressing,
    Completed,
    Interrupted, // broken or aborted: save for later resume, or delete the data
    Failed,      // passes to Closed at once
    Closed,
};

// How a receive ended; None while it has not. One value for each ending the receive side
// tells apart, so that nothing has to read a status text to learn it.
enum class ReceiveReason
{
    None,
    Received,
    ReceivedWithSkippedEntries, // unpacked, but entries that could not be made were skipped
    Cancelled,                  // aborted or refused here, or closed before it ended
    InterruptedByExit,          // the program ended under it
    ReplyFailed,                // the reply to the request could not be written
    NoDataHeader,               // the connection ended before the data header
    DataMismatch,               // the data header is not what the request announced
    CannotWriteTarget,          // the destination (or temporary archive) cannot be written
    NoTemporaryArchive,         // no temporary archive could be made
    PartialCopyGone,            // the partial copy to resume is no longer there
    ConnectionReset,            // the stream broke
    DiskWriteError,             // the disk refused the data, or its unpacking
    ArchiveTooLarge,            // the archive expands beyond the announced size
    ArchiveDamaged,             // the archive could not be decompressed
};

// What a receive has come to: its state, how it ended, and its figures.
struct ReceiveOutcome
{
    ReceiveState state = ReceiveState::Pending;
    ReceiveReason reason = ReceiveReason::None;
    QString targetPath;              // the file or folder received into (after the save choice)
    QString problemPath;             // CannotWriteTarget: the file that could not be written
    bool resumeAsked = false;        // the resume-or-overwrite question was put
    std::uint32_t resumeOffset = 0;  // where a resumed stream starts
    std::uint32_t streamBytes = 0;   // announced by the data header
    std::uint32_t receivedBytes = 0; // the stream position reached, at the last change
};

} // namespace vantrel
