// SendTransfer, continued: the workers' events, the two ticks and the data phase.
#include "send/sendtransfer.h"

#include "net/certificates.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "send/compressworker.h"
#include "send/connectworker.h"
#include "send/dataworker.h"
#include "send/sendnotice.h"
#include "send/sendstatustexts.h"
#include "send/sendtexts.h"
#include "stats/formatsize.h"
#include "stats/progresstexts.h"

#include <QFileInfo>

namespace vantrel {

void SendTransfer::Take(send::ArchiveFinished)
{
    if (state() == State::WaitingForArchive)
        CompressTick();
}

void SendTransfer::Take(send::UM_SEND_REFUSED message)
{
    if (!m_attempts.IsStale(message))
        OnRefused();
}

void SendTransfer::Take(send::UM_SEND_BROKEN message)
{
    if (!m_attempts.IsStale(message))
        OnBroken();
}

void SendTransfer::Take(send::UM_SEND_COMPLETED message)
{
    if (!m_attempts.IsStale(message))
        OnCompleted();
}

void SendTransfer::Take(send::UM_DYNDNS_DETECTED message)
{
    if (!m_attempts.IsStale(message))
        emit dynDnsDetected(message.hostText, message.address);
}

void SendTransfer::Take(SendNotice notice)
{
    if (m_attempts.IsStale(notice))
        return; // from an attempt that has been given up, or a closed transfer
    const QString nick = QString::fromUtf8(notice.nickName);
    switch (notice.kind) {
    case SendNotice::Kind::Status:
        SetStatus(SendStatusTexts::Of(notice.status, notice.subject, m_dataSource), notice.colour);
        // Announced with the change of state that follows the failure.
        if (const SendReason reason = ReasonOf(notice.status); reason != SendReason::None)
            m_outcome.reason = reason;
        if (notice.sound)
            Play(*notice.sound);
        break;
    case SendNotice::Kind::ConnectFailed:
        if (m_connect)
            m_connect->Join();
        m_connect.reset();
        m_view.sendEnabled = true;
        if (!notice.presentedCertificate.isEmpty())
            OfferTrust(notice.presentedCertificate, notice.presentedAuthority);
        SetState(State::Preparing);
        break;
    case SendNotice::Kind::Refused:
        SetRow(TransferListModel::Host, notice.hostText);
        SetRow(TransferListModel::Status, tr("Refused"));
        SetRow(TransferListModel::NickName, nick);
        m_view.refusalLabel = tr("Comment from %1").arg(nick);
        m_view.refusalComment = QString::fromUtf8(notice.comment);
        m_outcome.hostText = notice.hostText;
        m_outcome.peerNickName = nick;
        m_outcome.refusalComment = m_view.refusalComment;
        SetState(State::Refused, SendReason::Refused);
        break;
    case SendNotice::Kind::Accepted:
        m_resumeOffset = notice.resumeOffset;
        m_hostText = notice.hostText;
        m_view.caption = tr("Sending File to %1").arg(nick);
        SetRow(TransferListModel::Host, notice.hostText);
        m_row.SetIcon(TransferListModel::IconCompressing);
        SetRow(TransferListModel::Status, tr("Compressing data..."));
        SetRow(TransferListModel::NickName, nick);
        m_outcome.hostText = notice.hostText;
        m_outcome.peerNickName = nick;
        SetState(State::WaitingForArchive);
        m_compressTimer.start();
        break;
    }
    Changed();
    // An archive that is already complete (or no compression) starts the data phase now.
    if (notice.kind == SendNotice::Kind::Accepted && state() == State::WaitingForArchive)
        CompressTick();
}

// The window is brought to the user last, once the state is settled: its slots may close.
void SendTransfer::OnRefused()
{
    if (m_connect)
        m_connect->Join();
    m_connect.reset();
    m_view.panel = View::Panel::Refused;
    m_view.sendEnabled = false;
    m_view.abortEnabled = false;
    Changed();
    emit bringToFront();
}

void SendTransfer::OnBroken()
{
    m_compressTimer.stop();
    m_progressTimer.stop();
    m_connect.reset();
    m_data.reset();
    m_session.reset();
    m_view.panel = View::Panel::Error;
    m_view.abortEnabled = false;
    m_view.sendEnabled = false;
    SetRow(TransferListModel::Status, tr("Connection error"));
    SetRow(TransferListModel::Speed, QStringLiteral("-"));
    SetRow(TransferListModel::Progress, QStringLiteral("-"));
    m_row.SetIcon(TransferListModel::IconWaiting);
    SetState(State::Broken);
    Changed();
    emit bringToFront();
}

void SendTransfer::OnCompleted()
{
    m_progressTimer.stop();
    m_view.progressPosition = m_view.progressMax;
    m_connect.reset();
    m_data.reset();
    m_view.panel = View::Panel::Completed;
    m_view.abortEnabled = false;
    SetRow(TransferListModel::Status, tr("Completed"));
    SetRow(TransferListModel::Speed, QStringLiteral("-"));
    SetRow(TransferListModel::Progress, QStringLiteral("-"));
    m_row.SetIcon(TransferListModel::IconSendCompleted);
    SetState(State::Completed, SendReason::Delivered);
    Changed();
    emit bringToFront();
}

void SendTransfer::CompressTick()
{
    if (state() != State::WaitingForArchive) {
        m_compressTimer.stop();
        return;
    }
    if (m_connect) {
        // The connect worker posted acceptance as its last act.
        m_connect->Join();
        m_session = m_connect->TakeSession();
        m_connect.reset();
        m_view.panel = View::Panel::Progress;
    }
    if (m_view.compressionOn) {
        // Ready means the component has returned with a complete, closed archive: an empty
        // source reaches its total of 0 before the archive exists.
        const auto outcome = m_compress ? m_compress->outcome() : CompressWorker::Outcome::Failed;
        if (outcome == CompressWorker::Outcome::Running) {
            m_view.progressMax = m_totalSize > 0 ? m_totalSize : 100;
            m_view.progressPosition = m_totalSize > 0 ? m_compress->progress() : 0;
            Changed();
            return;
        }
        if (outcome == CompressWorker::Outcome::Failed) {
            m_compressTimer.stop();
            if (m_compress && m_compress->noSpace())
                FailBeforeData(SendReason::NoSpaceToCompress,
                               tr("Status: Not enough disk space to compress the data to send"));
            else
                FailBeforeData(SendReason::CompressionFailed,
                               tr("Status: Unable to compress the data to send"));
            return;
        }
    }
    m_row.SetIcon(TransferListModel::IconTransferring);
    m_compressTimer.stop();
    m_view.progressPosition = 0;
    m_view.progressMax = 100;
    if (m_compress)
        m_compress->Join();
    StartDataPhase();
}

void SendTransfer::StartDataPhase()
{
    if (!m_session) {
        FailBeforeData(SendReason::ConnectionReset, tr("Status: Connection reset by peer"));
        return;
    }
    QString source = m_sourcePath;
    const bool streamed = m_view.compressionOn && m_compress && m_compress->streamed();
    if (m_view.compressionOn) {
        // A stored archive produced while it is sent has the file itself as its source.
        const qint64 archiveSize = streamed ? static_cast<qint64>(m_compress->streamedSize())
                                            : QFileInfo(m_archivePath).size();
        if (archiveSize < 0 || static_cast<std::uint64_t>(archiveSize) >= SizeFieldLimit) {
            FailBeforeData(SendReason::ArchiveTooLarge,
                           tr("Status: The archive is too large to send (4 GB or more)"));
            return;
        }
        m_streamBytes = static_cast<std::uint32_t>(archiveSize);
        m_view.compressionInfo = ProgressTexts::Efficiency(
            TransferProgress::EfficiencyPercent(m_totalSize, m_streamBytes));
        m_view.compressionHint = tr("Compression Efficiency: 0% worst <-> 100% best");
        source = streamed ? m_sourcePath : m_archivePath;
    } else {
        m_streamBytes = m_totalSize;
        m_view.compressionInfo = tr("Disabled");
    }
    m_counters.sentBytes.store(m_resumeOffset, std::memory_order_relaxed);
    m_progress.Start(m_clock(), m_resumeOffset); // the first speed counts only this run
    m_view.dataText = tr("0 bytes / %1").arg(FormatSizeFixed(m_streamBytes));
    m_view.operation = tr("Sending data ...");
    m_view.cipher = m_session->CipherText();
    m_view.progressSending = true;
    SetRow(TransferListModel::Status, tr("Sending data"));
    m_progressTimer.start();

    m_dataSource = source;
    DataWorker::Stream stream;
    stream.sourcePath = source;
    stream.storedArchive = streamed ? m_services.zip : nullptr;
    stream.streamBytes = m_streamBytes;
    stream.resumeOffset = m_resumeOffset;
    stream.rawFlag = m_rawFlag;
    stream.clock = m_clock;
    m_data = std::make_unique<DataWorker>(this, m_attempts.current(), std::move(m_session), stream,
                                          m_counters, m_services.counters);
    m_data->Start();
    SetState(State::Streaming);
    Changed();
}

// The data phase cannot start: the peer, waiting for the data header, sees the session end.
// The status line keeps the verification failure; the panel says whom trusting would mean.
// Only an authority that signed the receiver's certificate is offered; a certificate alone
// is never trusted in its place.
void SendTransfer::OfferTrust(const QByteArray& certificate, const QByteArray& authority)
{
    m_presentedCertificate = certificate;
    m_presentedAuthority = authority;
    const QByteArray& shown = authority.isEmpty() ? certificate : authority;
    m_view.trustOffered = !authority.isEmpty();
    m_view.trustName = certificates::SubjectText(shown);
    m_view.trustFingerprint = certificates::ReadableFingerprint(shown);
    m_view.trustText = sendtexts::TrustExplanation(m_view.trustOffered);
    // SEND stays enabled: it tries again without trusting (say, after the authority was
    // imported another way).
    m_view.panel = View::Panel::Trust;
}

void SendTransfer::FailBeforeData(SendReason reason, const QString& statusText)
{
    if (m_session)
        m_session->Close();
    m_session.reset();
    m_outcome.reason = reason; // announced by the break
    SetStatus(statusText, View::Colour::Failure);
    Play(Sound::Error);
    OnBroken();
}

void SendTransfer::ProgressTick()
{
    if (state() != State::Streaming)
        return;
    const std::uint32_t sent = m_counters.sentBytes.load(std::memory_order_relaxed);
    m_view.dataText =
        FormatSizeFixed(sent) + QStringLiteral(" / ") + FormatSizeFixed(m_streamBytes);
    m_view.progressMax = m_streamBytes > 0 ? m_streamBytes : 1;
    m_view.progressPosition = m_streamBytes > 0 ? sent : 1;

    const std::optional<TransferProgress::Reading> reading =
        m_progress.Measure(m_clock(), sent, m_streamBytes);
    if (!reading) {
        Changed();
        return;
    }
    m_view.speed = ProgressTexts::Speed(FormatSizeFixed(reading->bytesPerSecond));
    m_view.timeLeft = ProgressTexts::TimeLeft(reading->secondsLeft);
    SetRow(TransferListModel::Speed, m_view.speed);
    SetRow(TransferListModel::Progress,
           ProgressTexts::Percent(TransferProgress::Percent(sent, m_streamBytes)));
    Changed();
}

void SendTransfer::ResetProgressFields()
{
    const View initial;
    m_view.operation = initial.operation;
    m_view.dataText = initial.dataText;
    m_view.speed = initial.speed;
    m_view.timeLeft = initial.timeLeft;
    m_view.cipher = initial.cipher;
    m_view.compressionInfo = initial.compressionInfo;
    m_view.compressionHint = initial.compressionHint;
    m_view.progressMax = initial.progressMax;
    m_view.progressPosition = initial.progressPosition;
    m_view.progressSending = initial.progressSending;
}

} // namespace vantrel
