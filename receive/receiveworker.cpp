#include "receive/receiveworker.h"

#include "core/base/archiveunpacker.h"
#include "net/tlssession.h"
#include "receive/bufferedoutput.h"
#include "receive/stagingname.h"
#include "receive/stagingsweep.h"
#include "receive/storedfiledelivery.h"
#include "stats/ratecounters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vantrel {

namespace {

// The most one read asks for: a whole record of the largest size, whatever the sender's
// records are (a peer that writes 1 KiB records still yields 1 KiB per read).
constexpr std::uint32_t ReadBytes = 64 * 1024;

std::uint32_t LoadWord(std::uint32_t& word)
{
    return std::atomic_ref<std::uint32_t>(word).load(std::memory_order_relaxed);
}

void StoreWord(std::uint32_t& word, std::uint32_t value)
{
    std::atomic_ref<std::uint32_t>(word).store(value, std::memory_order_relaxed);
}

} // namespace

ReceiveWorker::ReceiveWorker(ReceiveWorkerInbox* target) : m_target(target) {}

ReceiveWorker::~ReceiveWorker()
{
    if (IsRunning())
        Stop(nullptr);
    CloseWakePipe();
}

std::uint32_t ReceiveWorker::UnzipProgress() const
{
    return LoadWord(const_cast<std::uint32_t&>(m_shared.unzipProgress));
}

bool ReceiveWorker::StartHeaderWait(TlsSession* session, std::uint64_t run)
{
    Join();
    m_run = run;
    m_header.reset();
    m_outcome = Outcome::None;
    m_worker.stop().Reset();
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        m_wake[0] = m_wake[1] = -1; // a stop then interrupts the session instead
    m_phase.store(WaitingForHeader);
    m_worker.Start([this, session] { WaitForHeader(session); });
    return true;
}

void ReceiveWorker::WaitForHeader(TlsSession* session)
{
    // Wait for the first byte without the library, so that a stop before the sender's data
    // leaves the session intact (a refusal can still be written on it).
    const int fd = session->SocketDescriptor();
    if (fd >= 0 && m_wake[0] >= 0 && !session->IsReadable()) {
        for (;;) {
            pollfd entries[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            const int ready = ::poll(entries, 2, -1);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready > 0 && entries[1].revents != 0)
                return; // stopped
            break;      // data, a closed peer, or an error: the read tells which
        }
    }
    int expected = WaitingForHeader;
    if (!m_phase.compare_exchange_strong(expected, ReadingHeader))
        return; // stopped
    m_header = ReadDataHeader(*session);
    m_phase.store(HeaderDone);
    if (m_header)
        Post<recv::DataHeaderArrived>();
    else
        Post<recv::UM_RECV_NO_DATA>();
}

void ReceiveWorker::StartData(Plan plan, std::uint64_t run)
{
    Join();
    m_run = run;
    m_outcome = Outcome::None;
    m_worker.stop().Reset();
    m_shared.receivedBytes.store(plan.startBytes);
    StoreWord(m_shared.unzipProgress, 0);
    StoreWord(m_shared.cancelUnzip, 0);
    StoreWord(m_shared.cancelOverlap, 0);
    m_stored = StoredEntryTracker();
    m_tracking = !plan.raw && !plan.directory;
    m_phase.store(Streaming);
    m_worker.Start([this, plan = std::move(plan)] { Receive(plan); });
}

void ReceiveWorker::Receive(const Plan& plan)
{
    if (m_tracking && plan.startBytes > 0)
        TrackPrefix(plan);
    StartOverlap(plan);
    Outcome outcome = Stream(plan);
    // Whatever ended the stream, what arrived goes to disk before anyone measures the file
    // for a resume or moves it into the cache.
    plan.output->Flush();
    const std::uint64_t onDisk = plan.output->onDisk();
    const bool kept = plan.output->Close();
    if (!kept && outcome != Outcome::Stopped)
        outcome = Outcome::DiskWriteError;
    if (outcome == Outcome::Completed && !Stopped())
        PublishArrival(onDisk, true);
    else
        AbandonOverlap();
    if (outcome == Outcome::Stopped || Stopped()) {
        AbandonOverlap();
        m_outcome = Outcome::Stopped;
        return;
    }
    if (outcome != Outcome::Completed) {
        m_outcome = outcome;
        Post<recv::UM_RECV_BROKEN>();
        return;
    }
    if (plan.raw) {
        m_outcome = Outcome::Completed;
        Post<recv::UM_RECV_COMPLETED>();
        return;
    }
    Post<recv::DecompressionStarted>();
    const std::optional<Outcome> overlapped = FinishOverlap(plan);
    outcome = overlapped ? *overlapped : Decompress(plan);
    m_outcome = Stopped() ? Outcome::Stopped : outcome;
    Post<recv::UM_RECV_COMPLETED>();
}

ReceiveWorker::Outcome ReceiveWorker::Stream(const Plan& plan)
{
    TlsSession& session = *plan.session;
    BufferedOutput& output = *plan.output;
    RateCounters& counters = *plan.counters;
    std::uint32_t received = plan.startBytes;
    BandPacer& pacer = m_shared.pacer;
    pacer.Start(plan.clock);
    // Tested before every read: a stream with nothing left completes without reading.
    while (received < plan.streamBytes) {
        if (Stopped())
            return Outcome::Stopped;
        const std::uint32_t allowed =
            pacer.Allowance(std::min(static_cast<std::uint32_t>(output.FreeBytes()), ReadBytes));
        if (allowed == 0) {
            // A limit lowered below what this window has moved already.
            pacer.Wait([this] { return Stopped(); });
            continue;
        }
        const int got = session.Read(output.Free(), static_cast<int>(allowed));
        if (got <= 0)
            return Stopped() ? Outcome::Stopped : Outcome::ConnectionLost;
        const auto bytes = static_cast<std::uint32_t>(got);
        received += bytes;
        m_shared.receivedBytes.store(received, std::memory_order_relaxed);
        counters.AddDownload(bytes);
        if (m_tracking)
            m_stored.Feed(output.Free(), bytes);
        if (!output.Commit(got))
            return Outcome::DiskWriteError;
        if (m_overlap.joinable())
            PublishArrival(output.onDisk(), false);
        if (pacer.Count(bytes))
            pacer.Wait([this] { return Stopped(); });
    }
    return Outcome::Completed;
}

void ReceiveWorker::StartOverlap(const Plan& plan)
{
    m_staging.clear();
    // Only a new folder: unpacking into one that exists mixes with what it holds, which only
    // the ordinary extraction does.
    const QFileInfo target(plan.targetPath);
    if (plan.raw || !plan.directory || !plan.unpacker || plan.streamBytes == 0 || target.exists() ||
        target.isSymLink() || !target.dir().exists())
        return;
    const std::string targetName = QFile::encodeName(target.fileName()).toStdString();
    for (unsigned n = 1; n <= StagingName::MaxFolderNumber && m_staging.isEmpty(); ++n) {
        const QString name = QFile::decodeName(
            StagingName::Make(StagingName::Kind::Folder, targetName, ::getpid(), n).c_str());
        if (target.dir().mkdir(name))
            m_staging = target.dir().filePath(name);
    }
    if (m_staging.isEmpty())
        return;
    PublishArrival(plan.output->onDisk(), false);
    StoreWord(m_shared.arrivalComplete, 0);
    m_overlapResult = ArchiveUnpacker::Result::Failed;
    m_overlap = std::thread([this, unpacker = plan.unpacker, limit = plan.totalSize,
                             archive = QFile::encodeName(plan.archivePath),
                             staging = QFile::encodeName(m_staging)] {
        m_overlapResult = unpacker->UnpackWhileArriving(
            archive.constData(), staging.constData(), &m_shared.unzipProgress,
            &m_shared.cancelOverlap, limit, &m_shared.arrived, &m_shared.arrivalComplete);
    });
}

void ReceiveWorker::PublishArrival(std::uint64_t bytes, bool complete)
{
    std::atomic_ref<std::uint64_t>(m_shared.arrived).store(bytes, std::memory_order_release);
    if (complete)
        std::atomic_ref<std::uint32_t>(m_shared.arrivalComplete)
            .store(1, std::memory_order_release);
}

void ReceiveWorker::AbandonOverlap()
{
    if (!m_overlap.joinable())
        return;
    StoreWord(m_shared.cancelOverlap, 1);
    m_overlap.join();
    RemoveStaging();
}

std::optional<ReceiveWorker::Outcome> ReceiveWorker::FinishOverlap(const Plan& plan)
{
    if (!m_overlap.joinable())
        return std::nullopt;
    m_overlap.join();
    using Result = ArchiveUnpacker::Result;
    const Result result = m_overlapResult;
    if ((result == Result::Ok || result == Result::UnsafeEntriesSkipped) && !Stopped() &&
        ::rename(QFile::encodeName(m_staging).constData(),
                 QFile::encodeName(plan.targetPath).constData()) == 0) {
        m_staging.clear();
        return result == Result::Ok ? Outcome::Completed : Outcome::CompletedWithSkippedEntries;
    }
    RemoveStaging();
    switch (result) {
    case Result::LimitExceeded:
        return Outcome::ArchiveTooLarge;
    case Result::DestinationError:
        return Outcome::DestinationError;
    case Result::Cancelled:
        if (Stopped())
            return Outcome::Stopped;
        break;
    default:
        break;
    }
    return Stopped() ? std::optional<Outcome>(Outcome::Stopped) : std::nullopt;
}

void ReceiveWorker::RemoveStaging()
{
    if (m_staging.isEmpty())
        return;
    StagingSweep::RemoveTree(m_staging);
    m_staging.clear();
}

void ReceiveWorker::TrackPrefix(const Plan& plan)
{
    QFile prefix(plan.archivePath);
    if (!prefix.open(QIODevice::ReadOnly)) {
        m_tracking = false;
        return;
    }
    constexpr qint64 Block = 1024 * 1024;
    QByteArray block;
    while (m_stored.Usable() && !m_stored.Complete() && m_stored.consumed() < plan.startBytes) {
        if (Stopped())
            return;
        block = prefix.read(std::min<qint64>(Block, plan.startBytes - m_stored.consumed()));
        if (block.isEmpty()) {
            m_tracking = false; // shorter than the reply promised: extract the ordinary way
            return;
        }
        m_stored.Feed(block.constData(), static_cast<std::size_t>(block.size()));
    }
}

ReceiveWorker::Outcome ReceiveWorker::Decompress(const Plan& plan)
{
    if (plan.streamBytes == 0) {
        // An empty stream holds no archive at all. For an empty offer that is still the
        // whole of it: the empty file or folder is made; anything else cannot be right.
        if (plan.totalSize != 0)
            return Outcome::DecompressionFailed;
        if (plan.directory)
            return QFileInfo(plan.targetPath).isDir() || QDir().mkdir(plan.targetPath)
                       ? Outcome::Completed
                       : Outcome::DestinationError;
        QFile empty(plan.targetPath);
        return empty.open(QIODevice::WriteOnly | QIODevice::Truncate) ? Outcome::Completed
                                                                      : Outcome::DestinationError;
    }
    if (!plan.unpacker)
        return Outcome::DecompressionFailed;
    // The component makes the folder of a directory request itself (its last level only:
    // a rule folder that has gone is an error, not something to recreate), and takes it
    // away again with everything else it wrote when the archive overruns its bound.
    if (Stopped())
        return Outcome::Stopped;
    if (m_tracking && m_stored.Complete()) {
        using Stored = StoredFileDelivery::Result;
        switch (StoredFileDelivery::Deliver(m_stored, plan.archivePath, plan.targetPath,
                                            plan.totalSize, &m_shared.unzipProgress,
                                            &m_shared.cancelUnzip)) {
        case Stored::Delivered:
            return Outcome::Completed;
        case Stored::DestinationError:
            return Outcome::DestinationError;
        case Stored::Cancelled:
            return Stopped() ? Outcome::Stopped : Outcome::DecompressionFailed;
        case Stored::NotApplicable:
            break; // the ordinary extraction decides
        }
    }
    using Result = ArchiveUnpacker::Result;
    const Result result =
        plan.unpacker->Unpack(plan.directory, QFile::encodeName(plan.archivePath).constData(),
                              QFile::encodeName(plan.targetPath).constData(),
                              &m_shared.unzipProgress, &m_shared.cancelUnzip, plan.totalSize);
    switch (result) {
    case Result::Ok:
        return Outcome::Completed;
    case Result::UnsafeEntriesSkipped:
        return Outcome::CompletedWithSkippedEntries;
    case Result::LimitExceeded:
        return Outcome::ArchiveTooLarge;
    case Result::DestinationError:
        return Outcome::DestinationError;
    case Result::Cancelled:
        return Stopped() ? Outcome::Stopped : Outcome::DecompressionFailed;
    case Result::Failed:
    case Result::NotStreamable:
        break;
    }
    return Outcome::DecompressionFailed;
}

template <typename Message> void ReceiveWorker::Post()
{
    // A stopped worker hands over nothing more; what slips through is stale for the transfer.
    if (Stopped())
        return;
    HandOver(m_target, Message{m_run});
}

bool ReceiveWorker::Stop(TlsSession* session)
{
    m_stopSession = session;
    m_sessionUntouched = true;
    m_worker.RequestStop();
    Join();
    m_stopSession = nullptr;
    return m_sessionUntouched;
}

void ReceiveWorker::InterruptStep()
{
    StoreWord(m_shared.cancelUnzip, 1);
    StoreWord(m_shared.cancelOverlap, 1);
    int phase = WaitingForHeader;
    if (m_phase.compare_exchange_strong(phase, Idle)) {
        // The wait has not begun to read, and now never will: waking it is enough.
        if (m_wake[1] >= 0) {
            const char wake = 1;
            [[maybe_unused]] const auto ignored = ::write(m_wake[1], &wake, 1);
        }
    } else if (phase == ReadingHeader || phase == Streaming) {
        // A blocked library read returns once the socket is shut down.
        if (m_stopSession)
            m_stopSession->Interrupt();
        m_sessionUntouched = false;
    }
}

void ReceiveWorker::Join()
{
    m_worker.Join();
    CloseWakePipe();
    m_phase.store(Idle);
}

void ReceiveWorker::CloseWakePipe()
{
    for (int& fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace vantrel
