#include "core/instanceclient.h"

#include "core/singleinstance.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QtEndian>

namespace vantrel {

InstanceClient::InstanceClient(Profile profile)
    : m_profile(std::move(profile)), m_socket(std::make_unique<QLocalSocket>())
{
}

InstanceClient::~InstanceClient() = default;

bool InstanceClient::Connect(int timeoutMs)
{
    if (m_socket->state() == QLocalSocket::ConnectedState)
        return true;
    m_socket->abort();
    m_socket->connectToServer(m_profile.InstanceName());
    return m_socket->waitForConnected(timeoutMs);
}

std::optional<QByteArray> InstanceClient::AskRules(const QByteArray& request, int timeoutMs)
{
    if (m_socket->state() != QLocalSocket::ConnectedState ||
        request.size() > qsizetype(SingleInstance::MaxRulesPayload))
        return std::nullopt;
    QDeadlineTimer deadline(timeoutMs);
    char header[SingleInstance::FrameHeaderSize] = {SingleInstance::RulesByte};
    qToBigEndian<quint32>(quint32(request.size()), header + 1);
    m_socket->write(header, SingleInstance::FrameHeaderSize);
    m_socket->write(request);
    m_socket->flush();
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(int(deadline.remainingTime())))
            return std::nullopt;
    }
    auto waitFor = [&](qint64 bytes) {
        while (m_socket->bytesAvailable() < bytes) {
            if (deadline.hasExpired() || !m_socket->waitForReadyRead(int(deadline.remainingTime())))
                return false;
        }
        return true;
    };
    if (!waitFor(SingleInstance::FrameHeaderSize))
        return std::nullopt;
    const QByteArray answer = m_socket->read(SingleInstance::FrameHeaderSize);
    const quint32 size = qFromBigEndian<quint32>(answer.constData() + 1);
    if (answer.front() != SingleInstance::RulesByte || size > SingleInstance::MaxRulesReply ||
        !waitFor(size))
        return std::nullopt;
    QByteArray reply = m_socket->read(size);
    m_socket->disconnectFromServer();
    return reply;
}

InstanceClient::Delivery InstanceClient::Deliver(int timeoutMs)
{
    if (m_socket->state() != QLocalSocket::ConnectedState)
        return Delivery::Failed;
    QDeadlineTimer deadline(timeoutMs);
    if (m_socket->write(&SingleInstance::NotifyByte, 1) != 1)
        return Delivery::Failed;
    m_socket->flush();
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(int(deadline.remainingTime())))
            return Delivery::Failed;
    }
    while (m_socket->bytesAvailable() == 0) {
        if (deadline.hasExpired() || !m_socket->waitForReadyRead(int(deadline.remainingTime())))
            return Delivery::Failed;
    }
    const QByteArray answer = m_socket->read(1);
    m_socket->disconnectFromServer();
    if (answer == QByteArray(1, SingleInstance::NotifyByte))
        return Delivery::Taken;
    if (answer == QByteArray(1, SingleInstance::RefusedByte))
        return Delivery::Refused;
    return Delivery::Failed;
}

} // namespace vantrel
