#include "receive/receivetransfer.h"

#include "core/base/nickname.h"
#include "core/base/soundplayer.h"
#include "core/base/ticks.h"
#include "net/incomingconnection.h"
#include "net/tlssession.h"
#include "receive/partialrecords.h"
#include "receive/receivestatustexts.h"
#include "receive/resumecache.h"
#include "receive/safename.h"
#include "stats/formatsize.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vantrel {

namespace {

// The size of a file that can be a partial copy, or nothing.
std::optional<std::uint32_t> FileSize(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || static_cast<std::uint64_t>(info.size()) >= SizeFieldLimit)
        return std::nullopt;
    return static_cast<std::uint32_t>(info.size());
}

} // namespace

ReceiveTransfer::ReceiveTransfer(const TransferServices& services,
                                 std::unique_ptr<IncomingConnection> connection,
                                 const RequestHeader& request, RowRef row,
                                 std::optional<AutoReceiveMatch> autoMatch, QObject* parent)
    : QObject(parent), m_services(services), m_connection(std::move(connection)),
      m_request(request), m_row(row), m_autoMatch(std::move(autoMatch)), m_worker(this),
      m_clock(TickCount)
{
    if (!m_connection)
        m_connection = std::make_unique<IncomingConnection>();
    m_isFile = m_request.dirCount == 0;
    m_safeName = safename::SafeBaseName(m_request.fileName, !m_isFile);
    m_targetPath = m_safeName;
    m_outcome.targetPath = m_targetPath;
    if (m_autoMatch)
        SetBandLimit(m_autoMatch->bandLimit);

    m_progTimer.setParent(this);
    m_unzipTimer.setParent(this);
    m_progTimer.setObjectName(QStringLiteral("ProgTimer"));
    m_unzipTimer.setObjectName(QStringLiteral("DeZipTimer"));
    m_progTimer.setInterval(2000);
    m_unzipTimer.setInterval(200);
    connect(&m_progTimer, &QTimer::timeout, this, &ReceiveTransfer::ProgressTick);
    connect(&m_unzipTimer, &QTimer::timeout, this, &ReceiveTransfer::UnzipTick);

    const QString nick = safename::PrintableText(m_request.nickName);
    m_view.caption = (m_autoMatch ? tr("New File Auto-Receive from %1 (%2)")
                                  : tr("New File Receive Request from %1 (%2)"))
                         .arg(peerName(), nick);
    m_view.host = peerName();
    m_view.nickName = nick;
    m_view.nameLabel = m_isFile ? tr("File") : tr("Directory");
    m_view.name = m_targetPath;
    m_view.dirCount = QString::number(m_request.dirCount);
    m_view.fileCount = QString::number(m_request.fileCount);
    m_view.totalSize = FormatSize(m_request.totalSize);
    m_view.description = safename::PrintableText(m_request.comment);
    m_view.openButtonText = m_isFile ? tr("Open File") : tr("Open Directory");
    m_view.statusText = ReceiveStatusTexts::Of(m_outcome);
}

ReceiveTransfer::~ReceiveTransfer()
{
    Release();
}

QString ReceiveTransfer::peerName() const
{
    return m_connection->peerName;
}

std::uint32_t ReceiveTransfer::receivedBytes() const
{
    return m_worker.shared().receivedBytes.load();
}

void ReceiveTransfer::SetClock(std::function<std::uint32_t()> clock)
{
    m_clock = clock ? std::move(clock) : std::function<std::uint32_t()>(TickCount);
}

void ReceiveTransfer::SetTimersEnabled(bool enabled)
{
    m_timersEnabled = enabled;
    if (!enabled) {
        m_progTimer.stop();
        m_unzipTimer.stop();
    }
}

void ReceiveTransfer::SetBandLimit(std::uint32_t kbPerSecond)
{
    m_worker.shared().pacer.SetLimit(kbPerSecond);
}

std::uint32_t ReceiveTransfer::bandLimit() const
{
    return m_worker.shared().pacer.limit();
}

void ReceiveTransfer::Present()
{
    if (!m_firstShow || state() != State::Pending)
        return;
    m_firstShow = false;
    emit bringToFront();
    Play(Sound::NewRequest);
    m_view.focus = View::Focus::Accept;

    m_row.Set(TransferListModel::Host, peerName());
    m_row.Set(TransferListModel::NickName, m_view.nickName);
    m_row.Set(TransferListModel::FileName, m_safeName);
    m_row.Set(TransferListModel::Dirs, m_view.dirCount);
    m_row.Set(TransferListModel::Files, m_view.fileCount);
    m_row.Set(TransferListModel::Size, m_view.totalSize);
    m_row.Set(TransferListModel::Status, m_view.statusText);
    SetRowIdleCells();
    if (m_row.model)
        m_row.model->SetFileIcon(m_row.id, m_isFile ? m_safeName : QStringLiteral("folder"));

    HandOver(this, recv::UM_RECV_SCATTER{});
    if (m_autoMatch)
        HandOver(this, recv::UM_RECV_AUTO_ACCEPT{});
    Changed();
}

bool ReceiveTransfer::FindPartialCopy()
{
    m_matchedResumeId.reset();
    if (m_isFile && m_request.rawFlag != RawFlagArchive) {
        // The destination itself is the partial copy of a raw file; one as large as the
        // offer is an old file to overwrite, not a part of this one.
        const std::optional<std::uint32_t> size = FileSize(m_targetPath);
        return size && *size < m_request.totalSize;
    }
    if (!m_services.resumes)
        return false;
    const std::optional<ResumeEntry> entry = m_services.resumes->FindResume(m_request);
    if (entry)
        m_matchedResumeId = entry->id;
    return entry.has_value();
}

void ReceiveTransfer::AskResume()
{
    m_outcome.resumeAsked = true;
    SetState(State::ResumeQuestion);
    m_view.panel = View::Panel::ResumeQuestion;
    m_view.acceptEnabled = false;
    m_view.focus = View::Focus::Resume;
    Changed();
}

void ReceiveTransfer::Accept(const QString& chosenPath)
{
    if (state() != State::Pending || chosenPath.isEmpty())
        return;
    m_resumeChosen = false;
    m_resumeOffset = 0;
    m_targetPath = chosenPath;
    m_view.name = m_targetPath;
    if (FindPartialCopy()) {
        AskResume();
        return;
    }
    ReplyAndStart(ReplyHeader::Accept(OwnNickName(m_services.ownNickName)));
}

void ReceiveTransfer::AnswerAutoAccept()
{
    if (state() != State::Pending || !m_autoMatch)
        return;
    m_resumeChosen = false;
    m_resumeOffset = 0;
    // The peer's name is reduced to one safe component, so the file stays in the folder.
    m_targetPath =
        QDir::cleanPath(m_autoMatch->ruleFolder + QLatin1Char('/')) + QLatin1Char('/') + m_safeName;
    if (m_targetPath.startsWith(QStringLiteral("//")))
        m_targetPath.remove(0, 1); // a rule folder of "/"
    m_view.name = m_targetPath;
    if (FindPartialCopy()) {
        AskResume();
        HandOver(this, recv::UM_RECV_AUTO_RESUME{});
        return;
    }
    ReplyAndStart(ReplyHeader::Accept(OwnNickName(m_services.ownNickName)));
}

void ReceiveTransfer::Resume()
{
    if (state() != State::ResumeQuestion)
        return;
    const QByteArray nick = OwnNickName(m_services.ownNickName);
    // Measured again now: the partial copy may have changed, or the resumes window may have
    // deleted the cached entry, since the question was asked.
    std::optional<std::uint32_t> held;
    if (m_matchedResumeId) {
        if (m_services.resumes && m_services.resumes->FindById(*m_matchedResumeId))
            held = FileSize(m_services.resumes->EntryFile(*m_matchedResumeId));
    } else {
        held = FileSize(m_targetPath);
        if (held && *held >= m_request.totalSize)
            held.reset();
    }
    if (!held) {
        // Nothing left to continue: a fresh transfer.
        m_resumeChosen = false;
        m_resumeOffset = 0;
        m_matchedResumeId.reset();
        ReplyAndStart(ReplyHeader::Accept(nick));
        return;
    }
    m_resumeChosen = true;
    m_resumeOffset = *held;
    ReplyAndStart(ReplyHeader::Resume(nick, m_resumeOffset));
}

void ReceiveTransfer::Overwrite()
{
    if (state() != State::ResumeQuestion)
        return;
    m_resumeChosen = false;
    m_resumeOffset = 0;
    if (m_matchedResumeId && m_services.resumes)
        m_services.resumes->Discard(*m_matchedResumeId);
    m_matchedResumeId.reset();
    ReplyAndStart(ReplyHeader::Accept(OwnNickName(m_services.ownNickName)));
}

void ReceiveTransfer::ReplyAndStart(const ReplyHeader& reply)
{
    emit answered();
    TlsSession* session = m_connection->session.get();
    if (!session || !WriteReply(*session, reply)) {
        Fail(ReceiveReason::ReplyFailed, tr("Socket Error"), tr("Connection Error"));
        return;
    }
    SetState(State::WaitingForData);
    m_view.acceptEnabled = false;
    m_view.panel = View::Panel::Progress;
    ShowStatus(View::StatusKind::Work);
    m_worker.StartHeaderWait(session, m_workerRuns.Begin());
    Changed();
}

void ReceiveTransfer::Abort(const QByteArray& reason)
{
    const bool beforeData = state() == State::Pending || state() == State::ResumeQuestion ||
                            state() == State::WaitingForData;
    if (!beforeData && state() != State::Receiving)
        return; // nothing to abort: "Abort" is disabled
    const bool sessionFit = StopWorker();
    m_outcome.reason = ReceiveReason::Cancelled; // announced by the close or interruption
    ShowStatus(View::StatusKind::Failure);
    SetRowIdleCells();
    SetIcon(TransferListModel::IconStopped);
    emit answered();
    m_progTimer.stop();
    if (beforeData) {
        // Before the data phase: the request is refused and the window closes.
        TlsSession* session = m_connection->session.get();
        if (sessionFit && session)
            WriteReply(*session, ReplyHeader::Refuse(OwnNickName(m_services.ownNickName),
                                                     CutUtf8(reason, MaxCommentBytes)));
        Changed();
        Close();
        return;
    }
    // During the data phase: what arrived is kept for a resume or deletion.
    if (m_connection->session) {
        m_connection->session->Close();
        m_connection->session.reset();
    }
    ShowInterruption(tr("You have aborted this download"), true);
}

void ReceiveTransfer::SaveForLaterResume()
{
    if (state() != State::Interrupted)
        return;
    // A raw file's partial copy stays where it is: a later Accept to the same path finds it.
    if (!m_receivedRaw && !m_tempArchivePath.isEmpty() && m_services.resumes) {
        ResumeCache& cache = *m_services.resumes;
        const std::uint32_t id = cache.Add(m_request);
        m_output.Close();
        if (QFile::rename(m_tempArchivePath, cache.EntryFile(id)))
            m_tempArchivePath.clear();
        // A failed move leaves the entry without a size; the next load drops it.
        cache.Complete(id);
        if (m_tempArchivePath.isEmpty()) {
            // The list holds the archive before its note goes, so a crash between the two
            // leaves one of them to find it.
            cache.Save();
            PartialRecords::Remove(m_recordPath);
            m_recordPath.clear();
        }
        if (m_services.hub)
            HandOver(m_services.hub, hub::UM_RESUMES_CHANGED{});
    }
    Close();
}

void ReceiveTransfer::DeleteData()
{
    if (state() != State::Interrupted)
        return;
    if (m_receivedRaw)
        QFile::remove(m_targetPath);
    Close(); // which deletes a temporary archive
}

void ReceiveTransfer::Close()
{
    if (state() == State::Closed)
        return;
    Release();
    SetState(State::Closed,
             m_outcome.reason == ReceiveReason::None ? ReceiveReason::Cancelled : m_outcome.reason);
    m_view.acceptEnabled = false;
    m_view.abortEnabled = false;
    m_view.bannerBlinking = false;
    if (m_services.hub)
        HandOver(m_services.hub, hub::UM_RECEIVE_CLOSED{this});
    Changed();
    emit closed();
}

bool ReceiveTransfer::StopWorker()
{
    // What the worker handed over before it saw the stop must not act on the new state.
    m_workerRuns.Retire();
    if (!m_worker.IsRunning())
        return true;
    return m_worker.Stop(m_connection->session.get());
}

void ReceiveTransfer::Release()
{
    StopWorker();
    m_output.Close();
    m_progTimer.stop();
    m_unzipTimer.stop();
    if (m_connection->session) {
        m_connection->session->Close();
        m_connection->session.reset();
    }
    if (!m_tempArchivePath.isEmpty()) {
        QFile::remove(m_tempArchivePath); // already moved or deleted is no error
        m_tempArchivePath.clear();
    }
    PartialRecords::Remove(m_recordPath);
    m_recordPath.clear();
}

void ReceiveTransfer::KeepForExit()
{
    if (state() == State::Receiving || state() == State::Decompressing) {
        // As an interruption: what arrived stays (a received archive whole, to be unpacked by
        // the resume that finds it complete).
        StopWorker();
        m_progTimer.stop();
        m_unzipTimer.stop();
        if (m_connection->session) {
            m_connection->session->Close();
            m_connection->session.reset();
        }
        m_output.Close();
        SetIcon(TransferListModel::IconStopped);
        m_outcome.reason = ReceiveReason::InterruptedByExit;
        ShowStatus(View::StatusKind::Failure);
        SetRowIdleCells();
        ShowInterruption(tr("The program ended during this download"), true);
    }
    if (state() == State::Interrupted) {
        SaveForLaterResume();
        return;
    }
    // What had not ended by then ends with the program.
    if (m_outcome.reason == ReceiveReason::None)
        m_outcome.reason = ReceiveReason::InterruptedByExit;
    Close();
}

void ReceiveTransfer::Fail(ReceiveReason reason, const QString& boxTitle, const QString& boxText)
{
    emit bringToFront();
    m_progTimer.stop();
    m_unzipTimer.stop();
    SetIcon(TransferListModel::IconStopped);
    m_outcome.reason = reason;
    ShowStatus(View::StatusKind::Failure);
    SetRowIdleCells();
    Play(Sound::Error);
    SetState(State::Failed);
    m_view.acceptEnabled = false;
    m_view.abortEnabled = false;
    Changed();
    emit messageBox(boxText.isEmpty() ? m_view.statusText : boxText, boxTitle);
    Close();
}

void ReceiveTransfer::SetState(State next, ReceiveReason reason)
{
    const bool endedBefore = m_outcome.state == State::Completed ||
                             m_outcome.state == State::Interrupted ||
                             m_outcome.state == State::Failed;
    m_outcome.state = next;
    m_outcome.reason = reason;
    m_outcome.targetPath = m_targetPath;
    m_outcome.resumeOffset = m_resumeChosen ? m_resumeOffset : 0;
    m_outcome.streamBytes = m_streamBytes;
    m_outcome.receivedBytes = receivedBytes();
    emit stateChanged(m_outcome);
    const bool ends = next == State::Completed || next == State::Interrupted ||
                      next == State::Failed || next == State::Closed;
    if (ends && !endedBefore)
        emit ended(m_outcome);
}

void ReceiveTransfer::ShowStatus(View::StatusKind kind)
{
    m_view.statusText = ReceiveStatusTexts::Of(m_outcome);
    m_view.statusKind = kind;
    m_row.Set(TransferListModel::Status, m_view.statusText);
}

void ReceiveTransfer::SetRowIdleCells()
{
    m_row.Set(TransferListModel::Speed, QStringLiteral("-"));
    m_row.Set(TransferListModel::Progress, QStringLiteral("-"));
}

void ReceiveTransfer::SetIcon(TransferListModel::IconSlot slot)
{
    m_row.SetIcon(slot);
}

void ReceiveTransfer::Play(Sound sound)
{
    if (m_services.sounds)
        m_services.sounds->Play(sound);
}

} // namespace vantrel
