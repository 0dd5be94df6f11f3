#pragma once

#include "net/tlssession.h"
#include "net/workerstop.h"
#include "send/datastatus.h"
#include "stats/bandpacer.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <thread>

class QFile;
class QObject;

namespace vantrel {

class RateCounters;
struct SendCounters;
struct SendNotice;

// Streams the file or archive after the data header: large reads into one buffer, written
// as consecutive blocks of at most 1024 bytes (one TLS write each), paced by the band limit.
// Ends with UM_SEND_COMPLETED or UM_SEND_BROKEN; nothing is posted once a stop is requested.
class DataWorker
{
public:
    struct Stream
    {
        QString sourcePath;
        std::uint32_t streamBytes = 0;
        std::uint32_t resumeOffset = 0;
        std::int32_t rawFlag = 0;
        BandPacer::Clock clock; // the transfer's, which ends the band-limit windows
    };

    static constexpr int BlockSize = 1024;
    static constexpr int ChunkSize = 512 * 1024;

    DataWorker(QObject* transfer, std::uint64_t attempt, std::unique_ptr<TlsSession> session,
               Stream stream, SendCounters& shared, RateCounters* counters);
    ~DataWorker(); // stops and joins
    DataWorker(const DataWorker&) = delete;
    DataWorker& operator=(const DataWorker&) = delete;

    void Start();
    void RequestStop();
    void Join();

private:
    void Run();
    // Completed, or what failed.
    DataStatus SendStream(QFile& source);
    void Status(DataStatus status);
    void Fail(DataStatus status);
    void PostNotice(SendNotice notice);
    void PostNumbered(int number);

    QObject* m_transfer;
    std::uint64_t m_attempt;
    std::unique_ptr<TlsSession> m_session;
    Stream m_stream;
    SendCounters& m_shared;
    RateCounters* m_counters;
    std::unique_ptr<RateCounters> m_ownCounters; // when the transfer was given none
    WorkerStop m_stop;
    std::thread m_thread;
};

} // namespace vantrel
