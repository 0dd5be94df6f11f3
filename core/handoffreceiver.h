#pragma once

#include "core/base/programfolder.h"
#include "core/handoffmessages.h"
#include "net/workerthread.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace vantrel {

// The receiving end of hand-offs. hub::UM_HANDOFF_NOTIFY (from the local server, or from
// HandOff below) reads "filename.vnt" at once and starts a short worker that asks the UI
// thread to restore the program, waits 50 ms and hands over hub::UM_HANDOFF_OPEN with the path
// read, which asks for a send window. Reading at the notice, not 50 ms later, keeps each
// hand-off's path its own when several arrive together. The worker never touches a window:
// the restore is a message to this object's thread.
class HandOffReceiver : public QObject,
                        public HandOffNotifyInbox,
                        public Accepts<hub::UM_HANDOFF_OPEN>,
                        public Accepts<hub::RestoreForHandOff>
{
    Q_OBJECT
public:
    // `turnFile`: the profile's hand-off turn (Profile::handOffTurnFile); empty when no other
    // process writes the hand-off file.
    explicit HandOffReceiver(ProgramFolder folder, QString turnFile = {},
                             QObject* parent = nullptr);
    ~HandOffReceiver() override;

    const ProgramFolder& folder() const { return m_folder; }

    // Run on this object's thread before each UM_HANDOFF_OPEN (bring the program to the front).
    void SetRestoreApplication(std::function<void()> restore);

    // The in-process hand-off of the menu commands and drops: writes the hand-off file and
    // takes UM_HANDOFF_NOTIFY itself. While another start holds the turn (it has written the
    // file for its own path) the file is left to it and the path goes on without it. False
    // (nothing opened) when the path does not fit the file whole or the file cannot be written.
    bool HandOff(const QString& path);

signals:
    // A handed-off path is to be sent.
    void openSendRequested(const QString& path);

private:
    void Take(hub::UM_HANDOFF_NOTIFY) override; // reads the file, starts the restore worker
    void Take(hub::UM_HANDOFF_OPEN) override;
    void Take(hub::RestoreForHandOff) override;
    void StartRestore(std::optional<QByteArray> path);

    ProgramFolder m_folder;
    QString m_turnFile;
    std::function<void()> m_restore;
    WorkerThread m_worker; // never stopped: it lives at most 50 ms
};

} // namespace vantrel
