#include "core/singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace vantrel {

SingleInstance::SingleInstance(Profile profile, QObject* parent)
    : QObject(parent), m_profile(std::move(profile))
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

SingleInstance::Outcome SingleInstance::TryBecomeInstance()
{
    if (m_server)
        return Outcome::Became;
    if (!QDir().mkpath(m_profile.configFolder())) {
        m_errorText = tr("Cannot create the profile folder %1").arg(m_profile.configFolder());
        return Outcome::Failed;
    }
    auto lock = std::make_unique<QLockFile>(m_profile.lockFile());
    // A running holder is never stale, however old its lock; a dead one is detected by pid.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return Outcome::AlreadyRunning;
        m_errorText = tr("Cannot lock the profile %1").arg(m_profile.lockFile());
        return Outcome::Failed;
    }

    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = m_profile.InstanceName();
    // Holding the lock, any socket left under this name belongs to a copy that died.
    QLocalServer::removeServer(name);
    if (!server->listen(name)) {
        m_errorText = QStringLiteral("Cannot listen for other starts of the program: %1")
                          .arg(server->errorString());
        delete server;
        return Outcome::Failed;
    }
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::AcceptConnections);
    m_lock = std::move(lock);
    m_server = server;
    return Outcome::Became;
}

void SingleInstance::SetNotifyTarget(HandOffNotifyInbox* target)
{
    m_target = target;
    m_targetObject = dynamic_cast<QObject*>(target);
    for (; m_pending > 0 && Notify(); --m_pending) {
    }
}

bool SingleInstance::Notify()
{
    if (!m_targetObject)
        return false;
    HandOver(m_target, hub::UM_HANDOFF_NOTIFY{});
    return true;
}

void SingleInstance::AcceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray bytes = socket->readAll();
            for (char c : bytes) {
                if (c != NotifyByte)
                    continue;
                if (m_refuseHandOffs) {
                    socket->write(&RefusedByte, 1);
                    continue;
                }
                if (!Notify())
                    ++m_pending;
                socket->write(&NotifyByte, 1);
            }
            socket->flush();
        });
    }
}

} // namespace vantrel
