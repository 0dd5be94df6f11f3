#include "send/dataworker.h"

#include "net/wirerecords.h"
#include "send/sendcounters.h"
#include "stats/ratecounters.h"

#include <QFile>

#include <algorithm>
#include <chrono>

namespace vantrel {

namespace {

const QString ResetText = QStringLiteral("Status: Connection reset by peer");

} // namespace

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

void DataWorker::Status(const QString& text)
{
    if (m_worker.StopRequested())
        return;
    SendNotice notice;
    notice.text = text;
    PostNotice(std::move(notice));
}

void DataWorker::PostNotice(SendNotice notice)
{
    notice.run = m_run;
    HandOver(m_transfer, std::move(notice));
}

void DataWorker::Fail(const QString& text)
{
    if (m_worker.StopRequested())
        return;
    SendNotice notice;
    notice.text = text;
    notice.colour = SendView::Colour::Failure;
    notice.sound = Sound::Error;
    PostNotice(std::move(notice));
    m_session->Close();
    // Give the window a moment to come back from the minimized state before the panel.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!m_worker.StopRequested())
        HandOver(m_transfer, send::UM_SEND_BROKEN{m_run});
}

void DataWorker::Run()
{
    QFile source(m_stream.sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Fail(QStringLiteral("Status: Unable to open '") + m_stream.sourcePath + QLatin1Char('\''));
        return;
    }
    if (m_stream.resumeOffset > m_stream.streamBytes) {
        // The other side holds more than there is to send: its copy cannot be this data.
        Fail(QStringLiteral("Status: Other side asked to resume beyond the end of the data"));
        return;
    }
    if (m_stream.resumeOffset > 0 && !source.seek(m_stream.resumeOffset)) {
        Fail(QStringLiteral("Status: Unable to read '") + m_stream.sourcePath + QLatin1Char('\''));
        return;
    }

    Status(QStringLiteral("Status: Sending header to other side"));
    DataHeader header;
    header.rawFlag = m_stream.rawFlag;
    header.streamSize = m_stream.streamBytes;
    if (!WriteDataHeader(*m_session, header)) {
        Fail(ResetText);
        return;
    }
    Status(QStringLiteral("Status: Sending data to other side"));

    const QString failure = SendStream(source);
    if (m_worker.StopRequested())
        return;
    if (!failure.isEmpty()) {
        Fail(failure);
        return;
    }

    SendNotice done;
    done.text = QStringLiteral("Status: File Transfer Completed");
    done.colour = SendView::Colour::Done;
    done.sound = Sound::Complete;
    if (m_worker.StopRequested())
        return;
    PostNotice(std::move(done));
    m_session->Close();
    source.close();
    if (!m_worker.StopRequested())
        HandOver(m_transfer, send::UM_SEND_COMPLETED{m_run});
}

QString DataWorker::SendStream(QFile& source)
{
    TlsSession& session = *m_session;
    session.SetBufferedWrites(true);
    const auto buffer = std::make_unique<char[]>(ChunkSize);
    std::uint32_t sent = m_stream.resumeOffset;
    const std::uint32_t total = m_stream.streamBytes;

    while (sent < total) {
        if (m_worker.StopRequested())
            return ResetText;
        const auto wanted = static_cast<qint64>(std::min<std::uint32_t>(ChunkSize, total - sent));
        const qint64 got = source.read(buffer.get(), wanted);
        if (got < 0)
            return QStringLiteral("Status: Unable to read '") + m_stream.sourcePath +
                   QLatin1Char('\'');
        if (got == 0) {
            // The source ended before the announced length (it shrank meanwhile).
            return QStringLiteral("Status: '") + m_stream.sourcePath +
                   QStringLiteral("' became shorter while it was sent");
        }
        for (qint64 offset = 0; offset < got; offset += BlockSize) {
            const int block = static_cast<int>(std::min<qint64>(BlockSize, got - offset));
            if (session.Write(buffer.get() + offset, block) != block)
                return ResetText;
            sent += static_cast<std::uint32_t>(block);
            m_shared.sentBytes.store(sent, std::memory_order_relaxed);
            m_counters->AddUpload(static_cast<std::uint32_t>(block));
            if (m_shared.bandLimit.load(std::memory_order_relaxed) != 0)
                PaceToBandLimit(static_cast<std::uint32_t>(block));
        }
    }
    return session.Flush() ? QString() : ResetText;
}

void DataWorker::PaceToBandLimit(std::uint32_t blockBytes)
{
    const std::uint32_t window =
        m_shared.bandWindowBytes.fetch_add(blockBytes, std::memory_order_relaxed) + blockBytes;
    const std::uint64_t allowed =
        std::uint64_t{m_shared.bandLimit.load(std::memory_order_relaxed)} * 2048;
    if (window < allowed)
        return;
    // What was written so far leaves now, not after the pause.
    m_session->Flush();
    while (m_shared.bandWindowBytes.load(std::memory_order_relaxed) != 0 &&
           m_shared.bandLimit.load(std::memory_order_relaxed) != 0 && !m_worker.StopRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace vantrel
