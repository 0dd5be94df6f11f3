#pragma once

#include "core/base/programfolder.h"
#include "core/handoffmessages.h"
#include "net/workerthread.h"

#include <QObject>
#include <QString>

#include <functional>

namespace vantrel {

// The receiving end of hand-offs. hub::UM_HANDOFF_NOTIFY (from the local server, or from
// HandOff below) starts a short worker that asks the UI thread to restore the program, waits
// 50 ms and hands over hub::UM_HANDOFF_OPEN, which reads "filename.vnt" and asks for a send
// window. The worker never touches a window: the restore is a message to this object's
// thread.
class HandOffReceiver : public QObject,
                        public HandOffNotifyInbox,
                        public Accepts<hub::UM_HANDOFF_OPEN>,
                        public Accepts<hub::RestoreForHandOff>
{
    Q_OBJECT
public:
    explicit HandOffReceiver(ProgramFolder folder, QObject* parent = nullptr);
    ~HandOffReceiver() override;

    const ProgramFolder& folder() const { return m_folder; }

    // Run on this object's thread before each UM_HANDOFF_OPEN (bring the program to the front).
    void SetRestoreApplication(std::function<void()> restore);

    // The in-process hand-off of the menu commands and drops: writes the hand-off file and
    // hands UM_HANDOFF_NOTIFY to itself. False (nothing written) when the path does not fit
    // the file whole or the file cannot be written.
    bool HandOff(const QString& path);

signals:
    // A handed-off path is to be sent.
    void openSendRequested(const QString& path);

private:
    void Take(hub::UM_HANDOFF_NOTIFY) override; // starts the restore worker
    void Take(hub::UM_HANDOFF_OPEN) override;
    void Take(hub::RestoreForHandOff) override;

    ProgramFolder m_folder;
    std::function<void()> m_restore;
    WorkerThread m_worker; // never stopped: it lives at most 50 ms
};

} // namespace vantrel
