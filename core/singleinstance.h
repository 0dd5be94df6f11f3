#pragma once

#include "core/handoffmessages.h"
#include "core/profile.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace vantrel {

// One running copy per profile: a lock file in the profile's config folder, held for the
// whole run, plus a local server named after the profile through which later starts deliver
// their hand-off notification (see InstanceClient).
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Became,
        AlreadyRunning,
        Failed
    };

    explicit SingleInstance(Profile profile, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, then listens. AlreadyRunning when another copy holds the profile;
    // Failed (see errorText) when the lock or the server cannot be set up at all.
    Outcome TryBecomeInstance();
    bool isInstance() const { return m_server != nullptr; }
    const QString& errorText() const { return m_errorText; }

    // Takes hub::UM_HANDOFF_NOTIFY for each notification delivered. Notifications that
    // arrive before a target is set (the server listens before the main window exists) are
    // handed to it when it is set. A target destroyed meanwhile gets nothing more.
    void SetNotifyTarget(HandOffNotifyInbox* target);
    // A copy without a display cannot drive a send: every notification is answered with
    // RefusedByte and none is delivered.
    void RefuseHandOffs() { m_refuseHandOffs = true; }

    // One byte asks for a notification; the same byte comes back once it has been posted,
    // RefusedByte when this copy refuses hand-offs.
    static constexpr char NotifyByte = 'N';
    static constexpr char RefusedByte = 'H';

private:
    void AcceptConnections();
    bool Notify(); // false when there is no target (any more)

    Profile m_profile;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    HandOffNotifyInbox* m_target = nullptr;
    QPointer<QObject> m_targetObject; // the same object: tells whether it still exists
    QString m_errorText;
    int m_pending = 0;
    bool m_refuseHandOffs = false;
};

} // namespace vantrel
