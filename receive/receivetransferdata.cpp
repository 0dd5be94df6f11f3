// The data phase of a receive transfer: the worker's events, the output it writes, the
// ticks that show its progress, and how it ends.
#include "receive/receivetransfer.h"

#include "core/base/soundplayer.h"
#include "net/incomingconnection.h"
#include "net/tlssession.h"
#include "receive/partialrecords.h"
#include "receive/resumecache.h"
#include "receive/temparchive.h"
#include "stats/formatsize.h"
#include "stats/progresstexts.h"

#include <QFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace vantrel {

namespace {

// Replaces `to` (the placeholder made for the name) in one step. Across file systems (a Temp
// folder on a disk of its own) the bytes are copied over it instead, and `from` goes only once
// the copy is whole: a copy that fails (that disk full) leaves it where it was.
bool MoveOver(const QString& from, const QString& to)
{
    namespace fs = std::filesystem;
    const fs::path source(QFile::encodeName(from).toStdString());
    const fs::path target(QFile::encodeName(to).toStdString());
    std::error_code error;
    fs::rename(source, target, error);
    if (!error)
        return true;
    if (error != std::errc::cross_device_link ||
        !fs::copy_file(source, target, fs::copy_options::overwrite_existing, error))
        return false;
    fs::remove(source, error);
    return true;
}

} // namespace

void ReceiveTransfer::Take(recv::UM_RECV_SCATTER)
{
    if (state() != State::Closed)
        emit scatter();
}

void ReceiveTransfer::Take(recv::UM_RECV_AUTO_ACCEPT)
{
    if (state() != State::Closed)
        AnswerAutoAccept();
}

void ReceiveTransfer::Take(recv::UM_RECV_AUTO_RESUME)
{
    if (state() != State::Closed)
        Resume();
}

void ReceiveTransfer::Take(recv::UM_RECV_AUTO_SAVE)
{
    if (state() != State::Closed)
        SaveForLaterResume();
}

// A closed transfer has retired its worker's run, so the checks of the run cover it too.
void ReceiveTransfer::Take(recv::DataHeaderArrived message)
{
    if (!m_workerRuns.IsStale(message) && state() == State::WaitingForData)
        OnDataHeader();
}

void ReceiveTransfer::Take(recv::UM_RECV_NO_DATA message)
{
    if (m_workerRuns.IsStale(message) || state() != State::WaitingForData)
        return;
    m_worker.Join();
    Fail(ReceiveReason::NoDataHeader, tr("Socket Error"), tr("Connection Error"));
}

void ReceiveTransfer::Take(recv::UM_RECV_BROKEN message)
{
    if (!m_workerRuns.IsStale(message) && state() == State::Receiving)
        OnBroken();
}

void ReceiveTransfer::Take(recv::DecompressionStarted message)
{
    if (!m_workerRuns.IsStale(message) && state() == State::Receiving)
        OnDecompressionStarted();
}

void ReceiveTransfer::Take(recv::UM_RECV_COMPLETED message)
{
    if (!m_workerRuns.IsStale(message) &&
        (state() == State::Receiving || state() == State::Decompressing))
        OnCompleted();
}

void ReceiveTransfer::OnDataHeader()
{
    m_worker.Join();
    const DataHeader header = *m_worker.header();
    // A directory only ever travels as an archive.
    const bool announcedRaw = m_isFile && m_request.rawFlag != RawFlagArchive;
    if (header.IsRaw() != announcedRaw) {
        // The stream is not what the request announced (and, on a resume, not what the
        // partial copy holds): nothing sound can be made of it.
        Fail(ReceiveReason::DataMismatch, tr("Socket Error"), tr("Connection Error"));
        return;
    }
    m_receivedRaw = header.IsRaw();
    m_streamBytes = header.streamSize;
    const std::uint32_t start = m_resumeChosen ? m_resumeOffset : 0;

    ReceiveReason failure = ReceiveReason::None;
    if (!PrepareOutput(header, &failure)) {
        Fail(failure, tr("Error")); // the box says what the status line says
        return;
    }

    SetState(State::Receiving);
    m_progress.Start(m_clock(), start); // the first speed counts only bytes of this run
    ShowStatus(View::StatusKind::Work);
    SetIcon(TransferListModel::IconTransferring);
    m_view.dataTransferred =
        FormatSizeFixed(start) + QStringLiteral(" / ") + FormatSizeFixed(m_streamBytes);
    m_view.operation = tr("Receiving data...");
    m_view.cipher = m_connection->session->CipherText();
    if (m_receivedRaw) {
        m_view.compression = tr("Disabled");
        m_view.compressionHint = tr("Auto-Compression is Disabled");
    } else {
        m_view.compression = ProgressTexts::Efficiency(
            TransferProgress::EfficiencyPercent(m_request.totalSize, m_streamBytes));
        m_view.compressionHint = tr("Compression Efficiency: 0% worst <-> 100% best");
    }
    m_view.progressMaximum = m_streamBytes;
    m_view.progressPosition = start;
    if (m_timersEnabled)
        m_progTimer.start();

    ReceiveWorker::Plan plan;
    plan.session = m_connection->session.get();
    plan.output = &m_output;
    plan.counters = m_services.counters ? m_services.counters : &m_spareCounters;
    plan.unpacker = m_services.unpacker;
    plan.streamBytes = m_streamBytes;
    plan.startBytes = start;
    plan.raw = m_receivedRaw;
    plan.directory = !m_isFile;
    plan.totalSize = m_request.totalSize;
    plan.archivePath = m_tempArchivePath;
    plan.targetPath = m_targetPath;
    plan.clock = m_clock;
    m_worker.StartData(std::move(plan), m_workerRuns.Begin());
    Changed();
}

bool ReceiveTransfer::PrepareOutput(const DataHeader& header, ReceiveReason* failure)
{
    const std::uint32_t start = m_resumeChosen ? m_resumeOffset : 0;
    if (header.IsRaw()) {
        // A resume continues exactly where the reply said, whatever has happened to the
        // file since: bytes beyond that point are cut off, a file now shorter cannot go on.
        const bool opened =
            m_resumeChosen ? m_output.OpenAt(m_targetPath, start) : m_output.Create(m_targetPath);
        if (!opened) {
            *failure = ReceiveReason::CannotWriteTarget;
            m_outcome.problemPath = m_targetPath;
        }
        return opened;
    }

    m_tempArchivePath = CreateTempArchive(m_services.folder.tempFolder(), QStringLiteral("ZIV"));
    if (m_tempArchivePath.isEmpty()) {
        *failure = ReceiveReason::NoTemporaryArchive;
        return false;
    }
    // Before any byte lands there (and before a cached archive moves there): should this copy
    // die, its next start finds the archive by the note and keeps it for a resume.
    m_recordPath = PartialRecords(m_services.folder).Write(m_tempArchivePath, m_request);
    if (!m_resumeChosen) {
        if (!m_output.Create(m_tempArchivePath)) {
            *failure = ReceiveReason::CannotWriteTarget;
            m_outcome.problemPath = m_tempArchivePath;
            return false;
        }
        return true;
    }
    // Take the cached partial archive: found again by its id, since the resumes window may
    // have deleted it after the reply promised its bytes to the sender.
    ResumeCache* cache = m_services.resumes;
    const bool present = cache && m_matchedResumeId && cache->FindById(*m_matchedResumeId);
    if (!present || !MoveOver(cache->EntryFile(*m_matchedResumeId), m_tempArchivePath)) {
        *failure = ReceiveReason::PartialCopyGone;
        return false;
    }
    cache->Remove(*m_matchedResumeId);
    m_matchedResumeId.reset();
    if (!m_output.OpenAt(m_tempArchivePath, start)) {
        *failure = ReceiveReason::PartialCopyGone;
        return false;
    }
    return true;
}

void ReceiveTransfer::OnDecompressionStarted()
{
    SetState(State::Decompressing);
    m_progTimer.stop();
    m_view.abortEnabled = false;
    m_view.operation = tr("Decompressing data...");
    SetIcon(TransferListModel::IconCompressing);
    ShowStatus(View::StatusKind::Work);
    m_row.Set(TransferListModel::Progress, QStringLiteral("100%"));
    m_view.dataTransferred =
        FormatSizeFixed(receivedBytes()) + QStringLiteral(" / ") + FormatSizeFixed(m_streamBytes);
    m_view.speed = ProgressTexts::NotAvailable();
    m_view.timeLeft = ProgressTexts::NotAvailable();
    m_view.progressMaximum = m_request.totalSize;
    m_view.progressPosition = 0;
    m_view.progressStyle = View::ProgressStyle::Decompressing;
    if (m_timersEnabled)
        m_unzipTimer.start();
    Changed();
}

void ReceiveTransfer::OnCompleted()
{
    m_worker.Join();
    m_progTimer.stop();
    m_unzipTimer.stop();
    m_view.abortEnabled = false;
    if (m_worker.outcome() == Outcome::DestinationError) {
        // The archive arrived whole but could not be unpacked (a full disk, a folder that
        // cannot be written), and the component took back what it wrote. The archive is kept
        // like a broken stream's: a resume once there is room asks for nothing more and
        // unpacks it again.
        ShowBroken(true);
        return;
    }
    m_view.progressPosition = m_view.progressMaximum;
    if (!m_tempArchivePath.isEmpty()) {
        QFile::remove(m_tempArchivePath);
        m_tempArchivePath.clear();
    }
    PartialRecords::Remove(m_recordPath);
    m_recordPath.clear();
    const QString title = tr("Decompression Error");
    switch (m_worker.outcome()) {
    case Outcome::Completed:
    case Outcome::CompletedWithSkippedEntries:
        break;
    case Outcome::ArchiveTooLarge:
        Fail(ReceiveReason::ArchiveTooLarge, title,
             tr("The received archive expands beyond the size the sender announced; "
                "nothing of it was kept."));
        return;
    default:
        Fail(ReceiveReason::ArchiveDamaged, title,
             tr("The received archive is damaged and could not be decompressed."));
        return;
    }

    SetState(State::Completed, m_worker.outcome() == Outcome::CompletedWithSkippedEntries
                                   ? ReceiveReason::ReceivedWithSkippedEntries
                                   : ReceiveReason::Received);
    m_view.bannerBlinking = true;
    emit bringToFront();
    SetIcon(TransferListModel::IconReceiveCompleted);
    ShowStatus(View::StatusKind::Done);
    SetRowIdleCells();
    Play(Sound::Complete);
    m_view.panel = View::Panel::Completion;
    m_view.focus = View::Focus::Done;
    m_view.acceptEnabled = false;
    Changed();
}

void ReceiveTransfer::OnBroken()
{
    m_worker.Join();
    ShowBroken(m_worker.outcome() == Outcome::DiskWriteError);
}

void ReceiveTransfer::ShowBroken(bool diskError)
{
    emit bringToFront();
    m_progTimer.stop();
    SetIcon(TransferListModel::IconStopped);
    m_outcome.reason = diskError ? ReceiveReason::DiskWriteError : ReceiveReason::ConnectionReset;
    ShowStatus(View::StatusKind::Failure);
    SetRowIdleCells();
    Play(Sound::Error);
    ShowInterruption(diskError ? tr("Unable to write the received data to disk!")
                               : tr("A connection error has occurred!"),
                     false);
    if (m_autoMatch)
        HandOver(this, recv::UM_RECV_AUTO_SAVE{});
}

void ReceiveTransfer::ShowInterruption(const QString& text, bool aborted)
{
    SetState(State::Interrupted);
    m_view.panel = View::Panel::Interruption;
    m_view.interruptionText = text;
    m_view.abortedPictures = aborted;
    m_view.acceptEnabled = false;
    m_view.abortEnabled = false;
    m_view.focus = View::Focus::SaveForLaterResume;
    Changed();
}

void ReceiveTransfer::ProgressTick()
{
    if (state() != State::Receiving)
        return;
    const std::uint32_t received = receivedBytes();
    m_view.dataTransferred =
        FormatSize(received) + QStringLiteral(" / ") + FormatSize(m_streamBytes);
    m_view.progressMaximum = m_streamBytes;
    m_view.progressPosition = received;

    const std::optional<TransferProgress::Reading> reading =
        m_progress.Measure(m_clock(), received, m_streamBytes);
    if (!reading) {
        Changed();
        return;
    }
    m_view.speed = ProgressTexts::Speed(FormatSize(reading->bytesPerSecond));
    m_view.timeLeft = ProgressTexts::TimeLeft(reading->secondsLeft);
    m_row.Set(TransferListModel::Progress,
              ProgressTexts::Percent(TransferProgress::Percent(received, m_streamBytes)));
    m_row.Set(TransferListModel::Speed, m_view.speed);
    Changed();
}

void ReceiveTransfer::UnzipTick()
{
    if (state() != State::Decompressing)
        return;
    m_view.progressMaximum = m_request.totalSize;
    m_view.progressPosition = m_worker.UnzipProgress();
    m_view.progressStyle = View::ProgressStyle::Decompressing;
    Changed();
}

} // namespace vantrel
