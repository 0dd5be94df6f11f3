#include "core/singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QtEndian>

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
    if (!m_targetObject)
        return;
    std::vector<QPointer<QLocalSocket>> waiting;
    waiting.swap(m_waitingNotices);
    for (const QPointer<QLocalSocket>& socket : waiting) {
        // A start that gave up has told its user the path was not taken: it must not open.
        if (socket && socket->state() == QLocalSocket::ConnectedState)
            AnswerNotice(socket);
    }
}

void SingleInstance::AnswerNotice(QLocalSocket* socket)
{
    // Synchronous: the file is read before the answer lets the start (and the next) go on.
    m_target->Take(hub::UM_HANDOFF_NOTIFY{});
    socket->write(&NotifyByte, 1);
    socket->flush();
}

void SingleInstance::SetRulesHandler(RulesHandler handler)
{
    m_rulesHandler = std::move(handler);
    std::vector<PendingRules> pending;
    pending.swap(m_pendingRules);
    for (const PendingRules& request : pending) {
        if (request.socket)
            AnswerRules(request.socket, request.request);
    }
}

void SingleInstance::AcceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadMessages(socket); });
    }
}

void SingleInstance::ReadMessages(QLocalSocket* socket)
{
    char first = 0;
    while (socket->peek(&first, 1) == 1) {
        if (first == RulesByte) {
            const QByteArray header = socket->peek(FrameHeaderSize);
            if (header.size() < FrameHeaderSize)
                break; // the rest of the frame is still on its way
            const quint32 size = qFromBigEndian<quint32>(header.constData() + 1);
            if (size > MaxRulesPayload) {
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < FrameHeaderSize + qint64(size))
                break;
            socket->skip(FrameHeaderSize);
            AnswerRules(socket, socket->read(size));
            continue;
        }
        socket->skip(1);
        if (first != NotifyByte)
            continue;
        if (m_refuseHandOffs) {
            socket->write(&RefusedByte, 1);
            continue;
        }
        if (m_targetObject)
            AnswerNotice(socket);
        else
            m_waitingNotices.emplace_back(socket);
    }
    socket->flush();
}

void SingleInstance::AnswerRules(QLocalSocket* socket, const QByteArray& request)
{
    if (!m_rulesHandler) {
        m_pendingRules.push_back({socket, request});
        return;
    }
    const QByteArray reply = m_rulesHandler(request);
    char header[FrameHeaderSize] = {RulesByte};
    qToBigEndian<quint32>(quint32(reply.size()), header + 1);
    socket->write(header, FrameHeaderSize);
    socket->write(reply);
    socket->flush();
}

} // namespace vantrel
