#include "send/dataworker.h"

#include "net/wirerecords.h"
#include "send/sendcounters.h"
#include "send/storedarchivereader.h"
#include "stats/ratecounters.h"

#include <QFile>

#include <algorithm>
#include <chrono>

namespace vantrel {

DataWorker::DataWorker(SendWorkerInbox* transfer, std::uint64_t run,
                       std::unique_ptr<TlsSession> session, Stream stream, SendCounters& shared,
                       RateCounters* counters)
    : m_transfer(transfer), m_run(run), m_session(std::move(session)), m_stream(std::move(stream)),
      m_shared(shared), m_counters(counters)
{
    if (!m_counters) {
        m_ownCounters = std::make_unique<RateCounters>();
        m_counters = m_ownCounters.get();
    }
}

DataWorker::~DataWorker()
{
    RequestStop();
    Join();
}

void DataWorker::Start()
{
    m_worker.Start([this] { Run(); });
}

void DataWorker::RequestStop()
{
    m_worker.RequestStop();
}

void DataWorker::Join()
{
    m_worker.Join();
}

void DataWorker::Status(DataStatus status)
{
    if (m_worker.StopRequested())
        return;
    SendNotice notice;
    notice.status = status;
    PostNotice(std::move(notice));
}

void DataWorker::PostNotice(SendNotice notice)
{
    notice.run = m_run;
    HandOver(m_transfer, std::move(notice));
}

void DataWorker::Fail(DataStatus status)
{
    if (m_worker.StopRequested())
        return;
    SendNotice notice;
    notice.status = status;
    notice.colour = SendView::Colour::Failure;
    notice.sound = Sound::Error;
    PostNotice(std::move(notice));
    m_session->Close();
    // Give the window a moment to come back from the minimized state before the panel.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!m_worker.StopRequested())
        HandOver(m_transfer, send::UM_SEND_BROKEN{m_run});
}

bool DataWorker::OpenStoredArchive(StoredArchiveReader& reader)
{
    switch (reader.Open(m_stream.sourcePath)) {
    case StoredArchiveReader::Opened::Unreadable:
        Fail(DataStatus::SourceUnopenable);
        return false;
    case StoredArchiveReader::Opened::Deflated:
        // The file changed so much since its archive was measured that it would now be
        // deflated: the announced archive cannot be made.
        Fail(DataStatus::SourceChanged);
        return false;
    case StoredArchiveReader::Opened::Streamed:
        break;
    }
    if (reader.size() != m_stream.streamBytes) {
        Fail(DataStatus::SourceChanged);
        return false;
    }
    return true;
}

void DataWorker::Run()
{
    QFile file(m_stream.sourcePath);
    StoredArchiveReader archive(m_stream.storedArchive);
    if (m_stream.storedArchive) {
        if (!OpenStoredArchive(archive))
            return;
    } else if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Fail(DataStatus::SourceUnopenable);
        return;
    }
    if (m_stream.resumeOffset > m_stream.streamBytes) {
        // The other side holds more than there is to send: its copy cannot be this data.
        Fail(DataStatus::ResumeBeyondEnd);
        return;
    }
    if (!m_stream.storedArchive && m_stream.resumeOffset > 0 && !file.seek(m_stream.resumeOffset)) {
        Fail(DataStatus::SourceUnreadable);
        return;
    }
    Source source;
    if (m_stream.storedArchive) {
        source = [&archive](std::uint64_t offset, char* buffer, std::int64_t length,
                            DataStatus& failure) -> std::int64_t {
            const std::int64_t got =
                archive.Read(offset, buffer, static_cast<std::uint32_t>(length));
            // The component fails a file it cannot read and one that changed its size alike.
            if (got < 0)
                failure = DataStatus::SourceChanged;
            return got;
        };
    } else {
        source = [&file](std::uint64_t, char* buffer, std::int64_t length,
                         DataStatus& failure) -> std::int64_t {
            const qint64 got = file.read(buffer, length);
            if (got < 0)
                failure = DataStatus::SourceUnreadable;
            return got;
        };
    }

    Status(DataStatus::SendingHeader);
    DataHeader header;
    header.rawFlag = m_stream.rawFlag;
    header.streamSize = m_stream.streamBytes;
    if (!WriteDataHeader(*m_session, header)) {
        Fail(DataStatus::ConnectionReset);
        return;
    }
    Status(DataStatus::SendingData);

    const DataStatus outcome = SendStream(source);
    if (m_worker.StopRequested())
        return;
    if (outcome != DataStatus::Completed) {
        Fail(outcome);
        return;
    }

    SendNotice done;
    done.status = DataStatus::Completed;
    done.colour = SendView::Colour::Done;
    done.sound = Sound::Complete;
    if (m_worker.StopRequested())
        return;
    PostNotice(std::move(done));
    m_session->Close();
    file.close();
    if (!m_worker.StopRequested())
        HandOver(m_transfer, send::UM_SEND_COMPLETED{m_run});
}

DataStatus DataWorker::SendStream(const Source& source)
{
    TlsSession& session = *m_session;
    session.SetBufferedWrites(true);
    const auto buffer = std::make_unique<char[]>(ChunkSize);
    std::uint32_t sent = m_stream.resumeOffset;
    const std::uint32_t total = m_stream.streamBytes;
    BandPacer& pacer = m_shared.pacer;
    pacer.Start(m_stream.clock);

    while (sent < total) {
        if (m_worker.StopRequested())
            return DataStatus::ConnectionReset;
        const auto wanted = static_cast<qint64>(std::min<std::uint32_t>(ChunkSize, total - sent));
        DataStatus failure = DataStatus::SourceUnreadable;
        const qint64 got = source(sent, buffer.get(), wanted, failure);
        if (got < 0)
            return failure;
        if (got == 0)
            return DataStatus::SourceShrank; // it ended before the announced length

        for (qint64 offset = 0; offset < got;) {
            const std::uint32_t block = pacer.Allowance(
                static_cast<std::uint32_t>(std::min<qint64>(WriteBytes, got - offset)));
            if (block == 0) {
                // A limit lowered below what this window has moved already.
                if (!session.Flush())
                    return DataStatus::ConnectionReset;
                pacer.Wait([this] { return m_worker.StopRequested(); });
                if (m_worker.StopRequested())
                    return DataStatus::ConnectionReset;
                continue;
            }
            const int length = static_cast<int>(block);
            if (session.Write(buffer.get() + offset, length) != length)
                return DataStatus::ConnectionReset;
            offset += length;
            sent += block;
            m_shared.sentBytes.store(sent, std::memory_order_relaxed);
            m_counters->AddUpload(block);
            if (pacer.Count(block)) {
                // What was written so far leaves now, not after the pause; a peer that has
                // gone shows here, not only once the write buffer has filled.
                if (!session.Flush())
                    return DataStatus::ConnectionReset;
                pacer.Wait([this] { return m_worker.StopRequested(); });
            }
        }
    }
    return session.Flush() ? DataStatus::Completed : DataStatus::ConnectionReset;
}

} // namespace vantrel
