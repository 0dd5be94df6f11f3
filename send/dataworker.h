#pragma once

#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "net/workerthread.h"
#include "send/datastatus.h"
#include "send/sendmessages.h"
#include "stats/bandpacer.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace vantrel {

class RateCounters;
class StoredArchiveReader;
class ZipBridgeLoader;
struct SendCounters;

// Streams the file or archive after the data header: large reads into one buffer, written
// in pieces of up to WriteBytes (the TLS library cuts each into records of its largest size,
// so that a record's fixed costs are paid once per 16 KiB, not once per block), paced by
// the band limit, which may cut a piece short so that a window ends exactly at the limit.
// Ends with UM_SEND_COMPLETED or UM_SEND_BROKEN; nothing is posted once a stop is requested.
class DataWorker
{
public:
    struct Stream
    {
        QString sourcePath;
        // Set when the stream is the stored archive of the file at `sourcePath`, produced by
        // the component as it is sent.
        const ZipBridgeLoader* storedArchive = nullptr;
        std::uint32_t streamBytes = 0;
        std::uint32_t resumeOffset = 0;
        std::int32_t rawFlag = RawFlagArchive;
        BandPacer::Clock clock; // the transfer's, which ends the band-limit windows
    };

    static constexpr int WriteBytes = 64 * 1024;
    static constexpr int ChunkSize = 512 * 1024;

    DataWorker(SendWorkerInbox* transfer, std::uint64_t run, std::unique_ptr<TlsSession> session,
               Stream stream, SendCounters& shared, RateCounters* counters);
    ~DataWorker(); // stops and joins
    DataWorker(const DataWorker&) = delete;
    DataWorker& operator=(const DataWorker&) = delete;

    void Start();
    void RequestStop();
    void Join();

private:
    void Run();
    // Reads up to `length` bytes at the stream position `offset`: the count, 0 at an early
    // end of the source, or a failure as the status to report.
    using Source = std::function<std::int64_t(std::uint64_t offset, char* buffer,
                                              std::int64_t length, DataStatus& failure)>;
    // Completed, or what failed.
    DataStatus SendStream(const Source& source);
    // The stored archive produced as it is sent; false after reporting a failure.
    bool OpenStoredArchive(StoredArchiveReader& reader);
    void Status(DataStatus status);
    void Fail(DataStatus status);
    void PostNotice(SendNotice notice);

    SendWorkerInbox* m_transfer;
    std::uint64_t m_run;
    std::unique_ptr<TlsSession> m_session;
    Stream m_stream;
    SendCounters& m_shared;
    RateCounters* m_counters;
    std::unique_ptr<RateCounters> m_ownCounters; // when the transfer was given none
    // The session object stays in place until the worker is destroyed, so the stop can
    // interrupt it even while the worker closes it (a close may block on a peer that
    // stopped reading).
    WorkerThread m_worker{[this] { m_session->Interrupt(); }};
};

} // namespace vantrel
