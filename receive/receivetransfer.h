#pragma once

#include "core/base/rowref.h"
#include "core/base/runcounter.h"
#include "core/base/transferlistmodel.h"
#include "core/base/transferservices.h"
#include "net/incomingconnection.h"
#include "net/wirerecords.h"
#include "receive/autoreceivematch.h"
#include "receive/bufferedoutput.h"
#include "receive/receivemessages.h"
#include "receive/receiveoutcome.h"
#include "receive/receiveview.h"
#include "receive/receiveworker.h"
#include "stats/ratecounters.h"
#include "stats/transferprogress.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace vantrel {

enum class Sound;

// The engine behind one receive window: it presents an incoming request, answers it (accept,
// resume a partial copy, or refuse), receives the stream on its worker, decompresses an
// archive and ends completed, interrupted (data kept for a resume or deleted) or failed.
// Lives on the UI thread; its window renders view() and calls the operations below.
class ReceiveTransfer : public QObject,
                        public ReceiveWorkerInbox,
                        public Accepts<recv::UM_RECV_SCATTER>,
                        public Accepts<recv::UM_RECV_AUTO_ACCEPT>,
                        public Accepts<recv::UM_RECV_AUTO_RESUME>,
                        public Accepts<recv::UM_RECV_AUTO_SAVE>
{
    Q_OBJECT
public:
    using View = ReceiveView;
    using State = ReceiveState;

    ReceiveTransfer(const TransferServices& services,
                    std::unique_ptr<IncomingConnection> connection, const RequestHeader& request,
                    RowRef row, std::optional<AutoReceiveMatch> autoMatch,
                    QObject* parent = nullptr);
    ~ReceiveTransfer() override; // stops the worker and releases everything, posting nothing

    // The first showing of the window; later calls do nothing.
    void Present();
    // The save choice for the request ("Save file as" / "Save directory as"); an empty path
    // means the dialog was cancelled and nothing changes.
    void Accept(const QString& chosenPath);
    void Resume();
    void Overwrite();
    // Refuses a request not yet receiving (the reason travels, cut to 255 bytes), or stops a
    // running data phase and keeps what arrived.
    void Abort(const QByteArray& reason);
    void SaveForLaterResume();
    void DeleteData();
    // The program ends under the transfer (a stop by signal): a running data phase, or an
    // archive being unpacked, ends as an interruption whose data is saved for a later resume;
    // anything else closes as its window would.
    void KeepForExit();
    // Any closing of the window: stops the worker, releases the connection and files, posts
    // hub::UM_RECEIVE_CLOSED. Idempotent.
    void Close();

    // Kb/sec, 0 = no limit; the running worker applies it from its next block.
    void SetBandLimit(std::uint32_t kbPerSecond);
    std::uint32_t bandLimit() const;

    // Timer ticks (ProgTimer 2000 ms while receiving, DeZipTimer 200 ms while decompressing),
    // public so that a test can drive them.
    void ProgressTick();
    void UnzipTick();

    State state() const { return m_outcome.state; }
    const ReceiveOutcome& outcome() const { return m_outcome; }
    const View& view() const { return m_view; }
    const RequestHeader& request() const { return m_request; }
    QString peerName() const;
    bool isFile() const { return m_isFile; }
    bool isAutoReceive() const { return m_autoMatch.has_value(); }
    // The offered name made safe: the name the save dialog proposes.
    QString proposedName() const { return m_safeName; }
    // The full path of the file or folder being received (after the save choice).
    QString targetPath() const { return m_targetPath; }
    std::uint32_t receivedBytes() const;
    std::uint32_t streamBytes() const { return m_streamBytes; }

    // The millisecond tick count of the progress tick and of the worker's band-limit windows
    // (TickCount by default); the worker calls it from its own thread.
    void SetClock(std::function<std::uint32_t()> clock);
    // With the timers off the ticks run only when called (tests).
    void SetTimersEnabled(bool enabled);

signals:
    void viewChanged();
    // Each change of state, with the outcome as it stands after it.
    void stateChanged(const vantrel::ReceiveOutcome& outcome);
    // Once, when the transfer ends: completed, interrupted, failed, or closed before any of
    // these. Slots must not close or delete the transfer directly.
    void ended(const vantrel::ReceiveOutcome& outcome);
    // A reply to the request was sent (or refused): the tray animation stops.
    void answered();
    // Minimise and restore the program, show, raise and focus the window.
    void bringToFront();
    // Move the window sideways at random so that request windows do not cover each other.
    void scatter();
    void messageBox(const QString& text, const QString& title);
    void closed();

private:
    // The hand-overs, each on the UI thread; nothing acts once the transfer is closed.
    void Take(recv::UM_RECV_SCATTER) override;
    void Take(recv::UM_RECV_AUTO_ACCEPT) override;
    void Take(recv::UM_RECV_AUTO_RESUME) override;
    void Take(recv::UM_RECV_AUTO_SAVE) override;
    void Take(recv::DataHeaderArrived message) override;
    void Take(recv::UM_RECV_NO_DATA message) override;
    void Take(recv::UM_RECV_BROKEN message) override;
    void Take(recv::DecompressionStarted message) override;
    void Take(recv::UM_RECV_COMPLETED message) override;

    using Outcome = ReceiveWorker::Outcome;

    bool FindPartialCopy();
    void AskResume();
    void ReplyAndStart(const ReplyHeader& reply);
    void AnswerAutoAccept();
    void OnDataHeader();
    bool PrepareOutput(const DataHeader& header, ReceiveReason* failure);
    void OnDecompressionStarted();
    void OnCompleted();
    void OnBroken();
    // The interruption panel of a broken data phase, its data kept; `diskError` when the
    // disk refused the data rather than the connection failing.
    void ShowBroken(bool diskError);
    void ShowInterruption(const QString& text, bool aborted);
    // A failure that ends the transfer: red status, error sound, message box (by default
    // with the status text), then Close.
    void Fail(ReceiveReason reason, const QString& boxTitle, const QString& boxText = QString());
    bool StopWorker(); // true when the session is still fit for a record
    void Release();

    // The one way the state changes: records it (with the reason, when given) and the
    // figures, and announces them.
    void SetState(State next, ReceiveReason reason);
    void SetState(State next) { SetState(next, m_outcome.reason); }
    // The status line and the row's Status cell say what the outcome stands at.
    void ShowStatus(View::StatusKind kind);
    void SetRowIdleCells();
    void SetIcon(TransferListModel::IconSlot slot);
    void Play(Sound sound);
    void Changed() { emit viewChanged(); }

    TransferServices m_services;
    std::unique_ptr<IncomingConnection> m_connection;
    RequestHeader m_request;
    RowRef m_row;
    std::optional<AutoReceiveMatch> m_autoMatch;

    ReceiveOutcome m_outcome;
    View m_view;
    bool m_firstShow = true;
    bool m_isFile = true;
    QString m_safeName;
    QString m_targetPath;
    bool m_resumeChosen = false;
    bool m_receivedRaw = true; // the data header's form, once it has arrived
    std::optional<std::uint32_t> m_matchedResumeId;
    std::uint32_t m_resumeOffset = 0;
    std::uint32_t m_streamBytes = 0;
    TransferProgress m_progress;
    QString m_tempArchivePath;
    QString m_recordPath; // the durable note of the archive, while the archive is ours

    RateCounters m_spareCounters; // when the copy lends none
    BufferedOutput m_output;      // outlives the worker, which writes to it
    ReceiveWorker m_worker;
    RunCounter m_workerRuns; // what the worker hands over after a stop is stale
    QTimer m_progTimer;
    QTimer m_unzipTimer;
    bool m_timersEnabled = true;
    std::function<std::uint32_t()> m_clock;
};

} // namespace vantrel
