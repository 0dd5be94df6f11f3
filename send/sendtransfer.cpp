#include "send/sendtransfer.h"

#include "net/trustlist.h"

#include "core/base/nickname.h"

#include "core/base/ticks.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "netutil/dyndnsbook.h"
#include "netutil/parsehosttext.h"
#include "send/compressworker.h"
#include "send/connectworker.h"
#include "send/dataworker.h"
#include "send/recenthosts.h"
#include "send/sendtexts.h"
#include "send/zipbridgeloader.h"
#include "stats/formatsize.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vantrel {

SendTransfer::SendTransfer(const TransferServices& services, const QString& sourcePath, RowRef row,
                           QObject* parent)
    : QObject(parent), m_services(services), m_row(row), m_sourcePath(sourcePath),
      m_clock(TickCount), m_compressTimer(this), m_progressTimer(this)
{
    m_ownNickName = OwnNickName(m_services.ownNickName);
    m_outcome.sourcePath = m_sourcePath;
    if (m_services.recentHosts)
        m_recentHosts = m_services.recentHosts->LoadRecentHosts();
    m_compressTimer.setObjectName(QStringLiteral("CompressTimer"));
    m_progressTimer.setObjectName(QStringLiteral("ProgTimer"));
    m_compressTimer.setInterval(CompressInterval);
    m_progressTimer.setInterval(ProgressInterval);
    connect(&m_compressTimer, &QTimer::timeout, this, &SendTransfer::CompressTick);
    connect(&m_progressTimer, &QTimer::timeout, this, &SendTransfer::ProgressTick);
}

SendTransfer::~SendTransfer()
{
    StopWorkers();
    DeleteArchive(m_archivePath);
}

void SendTransfer::FirstShow()
{
    if (m_firstShowDone || state() == State::Closed)
        return;
    m_firstShowDone = true;
    m_view.path = m_sourcePath;
    if (!QFileInfo::exists(m_sourcePath)) {
        emit messageBox(tr("Unable to Find that Path"), tr("Init Error!"));
        m_outcome.reason = SendReason::PathMissing; // announced by the close
        Close();
        return;
    }
    if (ExamineSource())
        StartCompression();
    Changed();
}

// Counts the source, fills the top panel and the row; false (with the reason on the status
// line) when the source cannot be offered at all.
bool SendTransfer::ExamineSource()
{
    const QFileInfo info(QDir::cleanPath(m_sourcePath));
    m_isDirectory = info.isDir();
    m_baseName = info.fileName().toUtf8();
    std::uint64_t size = 0;
    if (m_isDirectory) {
        m_view.pathLabel = tr("Directory to Send");
        m_view.compressionToggleEnabled = false; // a directory always travels as an archive
        const QByteArray path = QFile::encodeName(info.filePath());
        if (m_services.zip)
            m_services.zip->FolderProperties(path.constData(), &size, &m_dirCount, &m_fileCount);
    } else {
        m_view.pathLabel = tr("File to Send");
        m_dirCount = 0;
        m_fileCount = 1;
        size = static_cast<std::uint64_t>(info.size());
    }
    const bool tooLarge = size >= SizeFieldLimit;
    m_totalSize = tooLarge ? 0 : static_cast<std::uint32_t>(size);
    m_outcome.totalSize = m_totalSize;
    const QString sizeText = tooLarge ? sendtexts::LargeSize(size) : FormatSizeFixed(m_totalSize);

    m_view.dirCount = QString::number(m_dirCount);
    m_view.fileCount = QString::number(m_fileCount);
    m_view.totalSize = sizeText;
    SetRow(TransferListModel::FileName, QString::fromUtf8(m_baseName));
    SetRow(TransferListModel::Dirs, m_view.dirCount);
    SetRow(TransferListModel::Files, m_view.fileCount);
    SetRow(TransferListModel::Size, sizeText);
    if (m_row.model)
        m_row.model->SetFileIcon(m_row.id, m_isDirectory ? QStringLiteral("folder")
                                                         : QString::fromUtf8(m_baseName));

    // Sizes, counts and offsets are 32-bit on the wire, and the name field holds 255 bytes:
    // what does not fit is refused here rather than sent wrong.
    if (!m_isDirectory && !info.isFile()) {
        RefuseSource(SendReason::NotSendable,
                     tr("Status: Only regular files and directories can be sent"));
        return false;
    }
    if (tooLarge) {
        RefuseSource(SendReason::TooLarge, tr("Status: Too large to send (4 GB or more)"));
        return false;
    }
    if (m_baseName.isEmpty()) {
        RefuseSource(SendReason::NoName, tr("Status: This path has no name to send"));
        return false;
    }
    if (!FitsFileName(m_baseName)) {
        RefuseSource(SendReason::NameTooLong,
                     tr("Status: Name too long to send (more than 255 bytes)"));
        return false;
    }
    return true;
}

void SendTransfer::RefuseSource(SendReason reason, const QString& statusText)
{
    m_view.sendEnabled = false;
    m_view.compressionToggleEnabled = false;
    SetStatus(statusText, View::Colour::Failure);
    Play(Sound::Error);
    SetState(State::Preparing, reason);
}

void SendTransfer::StartCompression()
{
    // A finished archive wakes the compression tick at once instead of at its next period.
    m_compress =
        std::make_unique<CompressWorker>(m_services.zip, m_sourcePath, m_isDirectory,
                                         [this] { HandOver(this, send::ArchiveFinished{}); });
    m_compress->Start(m_services.folder.tempFolder()); // a failure shows once it matters
    m_archivePath = m_compress->archivePath();
}

void SendTransfer::StopCompression()
{
    if (m_compress)
        m_compress->CancelAndJoin();
    m_compress.reset();
    DeleteArchive(m_archivePath);
    m_archivePath.clear();
}

void SendTransfer::SetCompression(bool on)
{
    if (!m_firstShowDone || state() == State::Closed || m_isDirectory || m_compressionLocked ||
        !m_view.compressionToggleEnabled || on == m_view.compressionOn)
        return;
    m_view.compressionOn = on;
    if (on) {
        m_view.compressionCaption = tr("Auto-Compression Enabled");
        StartCompression();
    } else {
        m_view.compressionCaption = tr("Auto-Compression Disabled");
        m_view.progressPosition = 0;
        StopCompression();
    }
    Changed();
}

void SendTransfer::Send(const SendInputs& inputs)
{
    if (!m_firstShowDone || state() != State::Preparing || !m_view.sendEnabled)
        return;
    if (inputs.direct && inputs.hostText.isEmpty())
        return;
    if (!inputs.direct && inputs.tunnelText.isEmpty())
        return; // no tunnel chosen: like an empty host text

    m_lastInputs = inputs;
    if (m_view.panel == View::Panel::Trust)
        m_view.panel = View::Panel::Request;
    m_presentedCertificate.clear();
    m_presentedAuthority.clear();
    m_compressionLocked = true;
    m_view.compressionToggleEnabled = false;
    m_view.sendEnabled = false;
    m_connect.reset();
    SetRow(TransferListModel::Host, tr("N/A"));
    SetRow(TransferListModel::Status, QStringLiteral("-"));
    m_row.SetIcon(TransferListModel::IconWaiting);
    m_outcome.hostText.clear();
    m_outcome.peerNickName.clear();
    m_outcome.refusalComment.clear();
    SetState(State::Connecting, SendReason::None);
    m_rawFlag = m_view.compressionOn ? RawFlagArchive : RawFlagRaw;

    ConnectWorker::Request request;
    request.trustListFile = m_services.folder.file(QStringLiteral("clientcalist.pem"));
    request.nickName = m_ownNickName;
    request.fileName = m_baseName;
    request.comment = inputs.description.toUtf8();
    request.dirCount = m_dirCount;
    request.fileCount = m_fileCount;
    request.totalSize = m_totalSize;
    request.senderPort = m_services.ownServerPort ? m_services.ownServerPort() : DefaultServerPort;
    request.rawFlag = m_rawFlag;
    if (inputs.direct) {
        request.hostText = inputs.hostText;
    } else {
        request.hostText = TunnelHostText(inputs.tunnelText);
        if (m_services.takeTunnel)
            request.tunnelSession = m_services.takeTunnel(request.hostText);
        if (!request.tunnelSession) {
            SetStatus(tr("Status: Tunnel Closed "), View::Colour::Failure);
            Play(Sound::Error);
            emit refreshTunnelChoices();
            m_view.sendEnabled = true;
            SetState(State::Preparing, SendReason::TunnelClosed);
            Changed();
            return;
        }
    }
    m_connect =
        std::make_unique<ConnectWorker>(this, m_attempts.Begin(), std::move(request), m_counters,
                                        m_services.recentHosts, m_services.book);
    m_connect->Start();
    Changed();
}

void SendTransfer::Abort()
{
    switch (state()) {
    case State::Preparing:
    case State::Connecting:
    case State::WaitingForArchive:
    case State::Streaming:
        SetRow(TransferListModel::Status, tr("Aborted"));
        [[fallthrough]];
    case State::Refused:
    case State::Broken:
        SetRow(TransferListModel::Speed, QStringLiteral("-"));
        SetRow(TransferListModel::Progress, QStringLiteral("-"));
        m_row.SetIcon(TransferListModel::IconStopped);
        break;
    case State::Completed:
    case State::Closed:
        break;
    }
    Close();
}

void SendTransfer::TrustReceiver()
{
    if (state() != State::Preparing || m_view.panel != View::Panel::Trust ||
        m_presentedAuthority.isEmpty())
        return;
    m_view.panel = View::Panel::Request;
    if (TrustList(m_services.folder).Append({m_presentedAuthority}) < 0) {
        SetStatus(tr("Status: Cannot write the list of trusted computers"), View::Colour::Failure);
        Play(Sound::Error);
        SetState(State::Preparing, SendReason::TrustListUnwritable);
        Changed();
        return;
    }
    Send(m_lastInputs);
}

void SendTransfer::DeclineTrust()
{
    if (state() != State::Preparing || m_view.panel != View::Panel::Trust)
        return;
    m_view.panel = View::Panel::Request;
    Changed();
}

void SendTransfer::SendAgain()
{
    if (state() == State::Refused || state() == State::Broken) {
        SetRow(TransferListModel::Speed, QStringLiteral("-"));
        SetRow(TransferListModel::Progress, QStringLiteral("-"));
        emit refreshTunnelChoices();
        // An archive that could not be made is made afresh; a complete one is kept.
        if (m_view.compressionOn && m_compress &&
            m_compress->outcome() == CompressWorker::Outcome::Failed) {
            StopCompression();
            StartCompression();
        }
    } else if (state() == State::Completed) {
        // The finished row stays as a record; the window gets a fresh one at the top.
        TransferListModel* model = m_row.model;
        if (model) {
            const RowRef old = m_row;
            m_row.id = model->InsertTop(this, tr("N/A"));
            for (const auto column : {TransferListModel::FileName, TransferListModel::Dirs,
                                      TransferListModel::Files, TransferListModel::Size})
                model->SetCell(m_row.id, column, model->Cell(old.id, column));
            model->SetFileIcon(m_row.id, model->FileIcon(old.id));
            model->Detach(old.id);
        }
    } else {
        return;
    }
    ResetProgressFields();
    m_view.panel = View::Panel::Request;
    m_view.sendEnabled = true;
    m_view.abortEnabled = true;
    // A fresh attempt: nothing has ended until it does.
    SetState(State::Preparing, SendReason::None);
    Changed();
}

void SendTransfer::Close()
{
    if (state() == State::Closed)
        return;
    m_attempts.Retire();
    // What ended before the close stays its outcome; anything else was given up.
    SetState(State::Closed, IsSettled(m_outcome) ? m_outcome.reason : SendReason::Cancelled);
    m_compressTimer.stop();
    m_progressTimer.stop();
    StopWorkers();
    DeleteArchive(m_archivePath);
    m_archivePath.clear();
    m_view.sendEnabled = false;
    m_view.abortEnabled = false;
    // The row keeps its last texts as a record; after "Send Again" it is not the row the
    // hub linked at the start, so the transfer lets go of it itself.
    if (m_row.model)
        m_row.model->Detach(m_row.id);
    if (m_services.hub)
        HandOver(m_services.hub, hub::UM_SEND_CLOSED{this});
    Changed();
    emit closed();
}

// Nothing here waits for the peer: blocked socket calls are cut short by the stops, the
// compressor returns promptly once cancelled.
void SendTransfer::StopWorkers()
{
    if (m_connect)
        m_connect->RequestStop();
    if (m_data)
        m_data->RequestStop();
    if (m_compress)
        m_compress->CancelAndJoin();
    m_connect.reset(); // joins
    m_data.reset();    // joins
    m_compress.reset();
    m_session.reset();
}

void SendTransfer::SetBandLimit(std::uint32_t kbPerSecond)
{
    m_counters.pacer.SetLimit(kbPerSecond);
}

std::uint32_t SendTransfer::bandLimit() const
{
    return m_counters.pacer.limit();
}

std::uint32_t SendTransfer::sentBytes() const
{
    return m_counters.sentBytes.load(std::memory_order_relaxed);
}

void SendTransfer::SetClock(std::function<std::uint32_t()> clock)
{
    m_clock = std::move(clock);
}

void SendTransfer::ClearRecentHosts()
{
    if (m_services.recentHosts)
        m_services.recentHosts->ClearRecentHosts();
    m_recentHosts.clear();
    Changed();
}

void SendTransfer::AnswerDynDns(bool yes, const QString& host, const QString& address)
{
    if (yes && m_services.book)
        m_services.book->AddEntry(host, address);
}

void SendTransfer::SetStatus(const QString& text, View::Colour colour)
{
    m_view.statusText = text;
    m_view.statusColour = colour;
}

void SendTransfer::Play(Sound sound)
{
    if (m_services.sounds)
        m_services.sounds->Play(sound);
}

void SendTransfer::SetRow(TransferListModel::Column column, const QString& text)
{
    m_row.Set(column, text);
}

void SendTransfer::Changed()
{
    emit viewChanged();
}

void SendTransfer::SetState(State next, SendReason reason)
{
    m_outcome.state = next;
    m_outcome.reason = reason;
    m_outcome.streamBytes = m_streamBytes;
    m_outcome.sentBytes = sentBytes();
    emit stateChanged(m_outcome);
    if (IsSettled(m_outcome))
        emit ended(m_outcome);
}

} // namespace vantrel
