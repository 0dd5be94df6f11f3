#pragma once

#include "core/handoffmessages.h"
#include "core/profile.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace vantrel {

// One running copy per profile: a lock file in the profile's config folder, held for the
// whole run, plus a local server named after the profile through which later starts deliver
// their hand-off notification and their requests about the auto-receive rules (see
// InstanceClient).
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

    // Takes hub::UM_HANDOFF_NOTIFY, synchronously, for each notification delivered, and only
    // then answers it: the start that wrote the hand-off file learns that its path was read.
    // Notifications that arrive before a target is set (the server listens before the main
    // window exists) are handed to it when it is set, those whose start has given up
    // meanwhile excepted. A target destroyed meanwhile gets nothing more.
    void SetNotifyTarget(HandOffNotifyInbox* target);
    // A copy without a display cannot drive a send: every notification is answered with
    // RefusedByte and none is delivered.
    void RefuseHandOffs() { m_refuseHandOffs = true; }

    // Answers each request about the auto-receive rules (the bytes of a RulesRequest) with
    // the bytes of its reply. Requests that arrive before it is set wait for it.
    using RulesHandler = std::function<QByteArray(const QByteArray& request)>;
    void SetRulesHandler(RulesHandler handler);

    // One byte asks for a notification; the same byte comes back once the target has read
    // the hand-off file, RefusedByte when this copy refuses hand-offs.
    static constexpr char NotifyByte = 'N';
    static constexpr char RefusedByte = 'H';
    // A request about the rules: RulesByte, the payload's size (4 bytes, big-endian), the
    // payload. Its reply comes back framed the same way.
    static constexpr char RulesByte = 'R';
    static constexpr int FrameHeaderSize = 5;
    static constexpr quint32 MaxRulesPayload = 64 * 1024;
    static constexpr quint32 MaxRulesReply = 16 * 1024 * 1024;

private:
    struct PendingRules
    {
        QPointer<QLocalSocket> socket;
        QByteArray request;
    };

    void AcceptConnections();
    void ReadMessages(QLocalSocket* socket);
    void AnswerRules(QLocalSocket* socket, const QByteArray& request);
    void AnswerNotice(QLocalSocket* socket);

    Profile m_profile;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    HandOffNotifyInbox* m_target = nullptr;
    QPointer<QObject> m_targetObject; // the same object: tells whether it still exists
    QString m_errorText;
    std::vector<QPointer<QLocalSocket>> m_waitingNotices; // no target yet
    RulesHandler m_rulesHandler;
    std::vector<PendingRules> m_pendingRules;
    bool m_refuseHandOffs = false;
};

} // namespace vantrel
