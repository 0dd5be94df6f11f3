#pragma once

#include "core/base/rowref.h"
#include "core/base/runcounter.h"
#include "core/base/soundplayer.h"
#include "core/base/transferlistmodel.h"
#include "core/base/transferservices.h"
#include "net/wirerecords.h"
#include "send/sendcounters.h"
#include "send/sendinputs.h"
#include "send/sendmessages.h"
#include "send/sendoutcome.h"
#include "send/sendview.h"
#include "stats/transferprogress.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

namespace vantrel {

class CompressWorker;
class ConnectWorker;
class DataWorker;
class TlsSession;

// One outgoing transfer of one file or directory tree, from the hand-off of its path until
// its window closes. Lives on the UI thread; its workers (compression, connect-and-request,
// data) report by handing messages to it, and share only the counters of SendCounters and the
// compression progress. The window renders view() and calls the operations below.
class SendTransfer : public QObject, public SendWorkerInbox, public Accepts<send::ArchiveFinished>
{
    Q_OBJECT
public:
    using View = SendView;

    using State = SendState;

    static constexpr int CompressInterval = 200;  // ms
    static constexpr int ProgressInterval = 2000; // ms

    SendTransfer(const TransferServices& services, const QString& sourcePath, RowRef row,
                 QObject* parent = nullptr);
    ~SendTransfer() override; // stops and joins whatever still runs

    // The start of the transfer when the window is first shown: examines the path, fills the
    // row and starts compressing. Later calls do nothing.
    void FirstShow();
    // The compression toggle: only for a file, and only before the first SEND.
    void SetCompression(bool on);
    // SEND: a direct send to inputs.hostText, or a tunnel send through inputs.tunnelText.
    void Send(const SendInputs& inputs);
    // CompressTimer (every 200 ms): waits for the archive after acceptance, then starts the data
    // phase.
    void CompressTick();
    // ProgTimer (every 2000 ms): data text, speed, time left, row progress.
    void ProgressTick();
    // The Abort buttons (and Escape): marks the row, then closes.
    void Abort();
    // The trust panel's answers. Trusting adds the receiver's authority to the trust list and
    // sends again as SEND would; declining changes nothing and goes back to the request.
    void TrustReceiver();
    void DeclineTrust();
    // What an untrusted receiver presented at the last attempt (PEM; empty otherwise).
    const QByteArray& presentedCertificate() const { return m_presentedCertificate; }
    const QByteArray& presentedAuthority() const { return m_presentedAuthority; }
    // "Send Again" on the completion, error or refusal panel.
    void SendAgain();
    // Ends everything without waiting for the peer, deletes the archive and tells the hub.
    void Close();
    // Kb/sec (1024-byte units), 0 = none; takes effect at once, also during the data phase.
    void SetBandLimit(std::uint32_t kbPerSecond);
    std::uint32_t bandLimit() const;
    // "Clear List" of the host field.
    void ClearRecentHosts();
    // The answer to dynDnsDetected: Yes adds the host to the dynamic DNS book.
    void AnswerDynDns(bool yes, const QString& host, const QString& address);

    State state() const { return m_outcome.state; }
    const SendOutcome& outcome() const { return m_outcome; }
    // True once the send has ended, or has stopped while preparing at a failure that waits
    // for the user (the path could not be read): nothing more happens unless asked.
    bool Settled() const { return IsSettled(m_outcome); }
    const View& view() const { return m_view; }
    // The host drop-down's entries, loaded at creation.
    const QStringList& recentHosts() const { return m_recentHosts; }
    RowRef row() const { return m_row; }
    const QString& sourcePath() const { return m_sourcePath; }
    bool isDirectory() const { return m_isDirectory; }
    std::uint32_t dirCount() const { return m_dirCount; }
    std::uint32_t fileCount() const { return m_fileCount; }
    std::uint32_t totalSize() const { return m_totalSize; }
    // The archive being (or last) written; empty when there is none.
    const QString& archivePath() const { return m_archivePath; }
    // The stream position the data worker has reached.
    std::uint32_t sentBytes() const;

    // The millisecond tick source of the progress arithmetic and of the data worker's
    // band-limit windows, which calls it from its own thread (tests supply their own).
    void SetClock(std::function<std::uint32_t()> clock);

signals:
    void viewChanged();
    // Each change of state, and each failure a preparing send stops at, with the outcome as
    // it stands after it.
    void stateChanged(const vantrel::SendOutcome& outcome);
    // Each time the send settles (see Settled()): an attempt ended, a failure waits for the
    // user, or the transfer closed. Slots must not close or delete the transfer directly.
    void ended(const vantrel::SendOutcome& outcome);
    // Minimise-restore, raise and focus the window (refusal, connection error, completion).
    void bringToFront();
    void messageBox(const QString& text, const QString& title);
    // The typed host looks like a dynamic DNS name: ask, then call AnswerDynDns.
    void dynDnsDetected(const QString& host, const QString& address);
    // The tunnel choices may have changed ("Tunnel Closed", "Send Again").
    void refreshTunnelChoices();
    void closed();

private:
    // The hand-overs, on the UI thread. The workers' are dropped when their attempt is no
    // longer the current one (a later SEND, or the close).
    void Take(SendNotice notice) override;
    void Take(send::UM_SEND_REFUSED message) override;
    void Take(send::UM_SEND_BROKEN message) override;
    void Take(send::UM_SEND_COMPLETED message) override;
    void Take(send::UM_DYNDNS_DETECTED message) override;
    void Take(send::ArchiveFinished) override;

    bool ExamineSource();
    void RefuseSource(SendReason reason, const QString& statusText);
    void StartCompression();
    void StopCompression();
    void OnRefused();
    void OnBroken();
    void OnCompleted();
    void StartDataPhase();
    void FailBeforeData(SendReason reason, const QString& statusText);
    void OfferTrust(const QByteArray& certificate, const QByteArray& authority);
    void ResetProgressFields();
    // The one way the state changes: records it with the reason and announces both.
    void SetState(State next, SendReason reason);
    void SetState(State next) { SetState(next, m_outcome.reason); }
    void StopWorkers();
    void SetStatus(const QString& text, View::Colour colour);
    void Play(Sound sound);
    void SetRow(TransferListModel::Column column, const QString& text);
    void Changed();

    TransferServices m_services;
    RowRef m_row;
    QString m_sourcePath;
    QByteArray m_ownNickName;
    QByteArray m_baseName;
    QStringList m_recentHosts;
    bool m_isDirectory = false;
    std::uint32_t m_dirCount = 0;
    std::uint32_t m_fileCount = 0;
    std::uint32_t m_totalSize = 0;

    SendOutcome m_outcome;
    View m_view;
    bool m_firstShowDone = false;
    bool m_compressionLocked = false; // from the first SEND on

    std::unique_ptr<CompressWorker> m_compress;
    QString m_archivePath;
    std::unique_ptr<ConnectWorker> m_connect;
    std::unique_ptr<TlsSession> m_session; // between acceptance and the data phase
    std::unique_ptr<DataWorker> m_data;
    RunCounter m_attempts; // one run per SEND

    SendInputs m_lastInputs; // of the last SEND, for a send again after trusting
    QByteArray m_presentedCertificate;
    QByteArray m_presentedAuthority;
    QString m_hostText; // the accepted host
    std::int32_t m_rawFlag = RawFlagArchive;
    std::uint32_t m_resumeOffset = 0;
    std::uint32_t m_streamBytes = 0;
    SendCounters m_counters;
    TransferProgress m_progress;
    QString m_dataSource; // what the data worker streams: the file, or the archive
    std::function<std::uint32_t()> m_clock;

    QTimer m_compressTimer;
    QTimer m_progressTimer;
};

} // namespace vantrel
