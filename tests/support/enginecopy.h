#pragma once

#include "core/base/transferlistmodel.h"
#include "tests/support/recordingsoundplayer.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QTemporaryDir;

namespace vantrel {
class AutoReceiveRules;
class DynDnsBook;
class IncomingPolicy;
class ProgramCore;
class ProgramFolder;
class RateCounters;
class ReceiveTransfer;
class RecentHosts;
class ResumeCache;
class SendTransfer;
class SettingsStore;
class TransferHub;
} // namespace vantrel

namespace vantrel::test {

// One complete running copy of the program's engine inside the calling process, on a
// profile of its own: the installed program folder (own authority, server certificate, trust
// list, Temp and CachedResumes), its nickname in the settings, and the program core started
// as the program starts it (compression component, stored lists, the hub with its two lists,
// a listener on a free port), with a sound player that records. Tests (and the transfer
// benchmark) drive its transfers the way a window does: a receive transfer is presented
// and a send transfer first-shown as soon as the hub opens it; the rest is up to the caller.
// UI thread only.
class EngineCopy : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QByteArray nickName = QByteArrayLiteral("Anonymous");
        // The profile folder; empty = a temporary folder removed with the copy.
        QString home;
        // Present / FirstShow each transfer when the hub opens it, as its window would.
        bool showTransfers = true;
    };

    explicit EngineCopy(const Options& options);
    explicit EngineCopy(const QByteArray& nickName);
    ~EngineCopy() override; // the core ends its listener first, then the transfers

    // Everything set up, and listening.
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

    // Each trusts the other's authority for outgoing connections (and its own, as installed).
    static bool TrustEachOther(EngineCopy& a, EngineCopy& b);
    // Each trusts only its own authority again: neither can send to the other.
    static bool DistrustEachOther(EngineCopy& a, EngineCopy& b);

    const QByteArray& nickName() const { return m_nickName; }
    const QString& home() const { return m_homePath; }
    const ProgramFolder& folder() const;
    QString trustListFile() const;
    int port() const;
    // The host text that reaches this copy (host:port).
    QString hostText() const;

    ProgramCore& core() { return *m_core; }
    SettingsStore& store();
    RateCounters& counters();
    TransferHub& hub();
    TransferListModel& downloads();
    TransferListModel& uploads();
    IncomingPolicy& policy();
    AutoReceiveRules& rules();
    ResumeCache& resumes();
    DynDnsBook& book();
    RecentHosts& recentHosts();
    RecordingSoundPlayer& sounds() { return *m_sounds; }

    // Transfers the hub opened, oldest first; an entry turns null once its transfer is gone.
    const std::vector<QPointer<ReceiveTransfer>>& receives() const { return m_receives; }
    const std::vector<QPointer<SendTransfer>>& sends() const { return m_sends; }
    // Waits (running the event loop) until the hub has opened `count` receive transfers and
    // returns the last of them, or null on timeout.
    ReceiveTransfer* WaitForReceive(int count, int timeoutMs = 20000);

    // A send transfer for `path` (the hand-off), first-shown; compression on or off.
    SendTransfer* OpenSend(const QString& path, bool compression = true);
    // Sends to `to` directly, to its hostText().
    static void SendTo(SendTransfer& transfer, const EngineCopy& to,
                       const QString& description = QString());

    // From now on every transfer opened here (and those open now) reads this copy's manual
    // millisecond clock instead of the system's, so the ticks only see time move when the
    // test moves it. The band-limit windows then clear only on a tick after Advance.
    void UseManualClock();
    void AdvanceClock(std::uint32_t ms);
    std::uint32_t Now() const;

    // Message boxes the transfers asked for: text and title.
    const std::vector<std::pair<QString, QString>>& messageBoxes() const { return m_boxes; }

signals:
    void receiveOpened(vantrel::ReceiveTransfer* transfer);
    void sendOpened(vantrel::SendTransfer* transfer);

private:
    bool SetUp(const Options& options);
    void OnReceiveOpened(ReceiveTransfer* transfer);
    void OnSendOpened(SendTransfer* transfer);
    void ApplyClock(ReceiveTransfer* transfer);
    void ApplyClock(SendTransfer* transfer);

    bool m_ok = false;
    QString m_error;
    QByteArray m_nickName;
    bool m_showTransfers = true;
    std::unique_ptr<QTemporaryDir> m_tempHome;
    QString m_homePath;
    RecordingSoundPlayer* m_sounds = nullptr; // owned by the core
    std::unique_ptr<ProgramCore> m_core;

    std::vector<QPointer<ReceiveTransfer>> m_receives;
    std::vector<QPointer<SendTransfer>> m_sends;
    std::vector<std::pair<QString, QString>> m_boxes;
    bool m_manualClock = false;
    std::shared_ptr<std::atomic<std::uint32_t>> m_clock;
};

} // namespace vantrel::test
