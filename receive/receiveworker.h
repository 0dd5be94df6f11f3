#pragma once

#include "core/base/archiveunpacker.h"
#include "net/wirerecords.h"
#include "net/workerthread.h"
#include "receive/receivemessages.h"
#include "receive/storedentrytracker.h"
#include "stats/bandpacer.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

namespace vantrel {

class BufferedOutput;
class RateCounters;
class TlsSession;

// The thread of one receive transfer. It runs twice in sequence: first it waits for the
// data header (and nothing else: the transfer then prepares the output on the UI thread),
// then it receives the stream and decompresses an archive. It reports only by handing
// messages of its run to its transfer and by the words it shares; results are read after Join.
class ReceiveWorker
{
public:
    // Words shared with the UI thread, no locks.
    struct Shared
    {
        std::atomic<std::uint32_t> receivedBytes{0};
        BandPacer pacer; // its limit is set from the UI thread, the rest is the worker's
        // Passed to the decompression component, which updates and polls them atomically.
        alignas(4) std::uint32_t unzipProgress = 0;
        alignas(4) std::uint32_t cancelUnzip = 0;
        // The unpacking of a tree that overlaps the stream: the archive's bytes on disk, and
        // whether that count is final; its cancel word.
        alignas(8) std::uint64_t arrived = 0;
        alignas(4) std::uint32_t arrivalComplete = 0;
        alignas(4) std::uint32_t cancelOverlap = 0;
    };

    enum class Outcome
    {
        None,
        Stopped,
        Completed,
        CompletedWithSkippedEntries, // the component refused some entries (unsafe paths, links)
        ConnectionLost,
        DiskWriteError,
        ArchiveTooLarge,     // expands beyond the announced size
        DecompressionFailed, // damaged archive
        DestinationError,    // the destination cannot be created or written
    };

    // What the data phase needs; everything it points to outlives the run.
    struct Plan
    {
        TlsSession* session = nullptr;
        BufferedOutput* output = nullptr;
        RateCounters* counters = nullptr;
        const ArchiveUnpacker* unpacker = nullptr;
        std::uint32_t streamBytes = 0;
        std::uint32_t startBytes = 0; // the resume offset
        bool raw = true;
        bool directory = false;
        std::uint32_t totalSize = 0; // the request's: the bound of the decompressed output
        QString archivePath;
        QString targetPath;
        BandPacer::Clock clock; // the transfer's, which ends the band-limit windows
    };

    explicit ReceiveWorker(ReceiveWorkerInbox* target);
    ~ReceiveWorker(); // stops and joins a thread still running
    ReceiveWorker(const ReceiveWorker&) = delete;
    ReceiveWorker& operator=(const ReceiveWorker&) = delete;

    Shared& shared() { return m_shared; }
    const Shared& shared() const { return m_shared; }
    std::uint32_t UnzipProgress() const;

    // Waits for the data header; hands over recv::DataHeaderArrived or recv::UM_RECV_NO_DATA,
    // stamped with `run`.
    bool StartHeaderWait(TlsSession* session, std::uint64_t run);
    // The header read by the wait (read it after Join).
    const std::optional<DataHeader>& header() const { return m_header; }

    // Receives the stream; hands over recv::UM_RECV_BROKEN, or recv::DecompressionStarted and
    // then recv::UM_RECV_COMPLETED, stamped with `run`. The outcome says which.
    void StartData(Plan plan, std::uint64_t run);
    Outcome outcome() const { return m_outcome; }

    bool IsRunning() const { return m_worker.IsRunning(); }
    // Stops the thread wherever it stands and joins it; it posts nothing more. A header wait
    // that has not begun to read is woken without touching the session: the result says
    // whether the session is still fit for a record (otherwise it was interrupted).
    bool Stop(TlsSession* session);
    // Joins a thread that has ended (or is about to: it posts as its last step).
    void Join();

private:
    enum Phase
    {
        Idle,
        WaitingForHeader,
        ReadingHeader,
        HeaderDone,
        Streaming
    };

    void WaitForHeader(TlsSession* session);
    void Receive(const Plan& plan);
    Outcome Stream(const Plan& plan);
    // A resumed single-file archive: the tracker sees the prefix already on disk.
    void TrackPrefix(const Plan& plan);
    // A tree unpacks into a hidden staging folder beside its target while the archive
    // arrives, on a thread of its own that this worker starts and always joins.
    void StartOverlap(const Plan& plan);
    void PublishArrival(std::uint64_t bytes, bool complete);
    // Stops the overlapping unpacking (a stream that did not complete) and removes its work.
    void AbandonOverlap();
    // The overlapping unpacking's result once the stream is whole: the staging folder becomes
    // the target, or nothing when the ordinary extraction of the archive must decide.
    std::optional<Outcome> FinishOverlap(const Plan& plan);
    void RemoveStaging();
    Outcome Decompress(const Plan& plan);
    template <typename Message> void Post();
    void CloseWakePipe();
    bool Stopped() const { return m_worker.StopRequested(); }
    // The stop's interrupt: wakes a header wait that has not begun to read, or cuts the read
    // of the session given to Stop short.
    void InterruptStep();

    ReceiveWorkerInbox* m_target;
    std::uint64_t m_run = 0;
    Shared m_shared;
    std::atomic<int> m_phase{Idle};
    int m_wake[2] = {-1, -1}; // ends a header wait without touching the session
    std::optional<DataHeader> m_header;
    Outcome m_outcome = Outcome::None;
    // Follows a single-file archive's stored entry as it arrives (worker thread only).
    StoredEntryTracker m_stored;
    bool m_tracking = false;
    QString m_staging;
    std::thread m_overlap;
    ArchiveUnpacker::Result m_overlapResult = ArchiveUnpacker::Result::Failed;
    TlsSession* m_stopSession = nullptr; // Stop's session, for its interrupt
    bool m_sessionUntouched = true;      // what the last Stop found
    WorkerThread m_worker{[this] { InterruptStep(); }};
};

} // namespace vantrel
