#include "core/handoffreceiver.h"

#include "core/handoff.h"

#include <QFile>
#include <QLockFile>
#include <QMetaObject>

#include <chrono>

namespace vantrel {

HandOffReceiver::HandOffReceiver(ProgramFolder folder, QString turnFile, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_turnFile(std::move(turnFile))
{
}

HandOffReceiver::~HandOffReceiver()
{
    // The worker lives at most 50 ms; what it posted to this object dies with it.
    m_worker.Join();
}

void HandOffReceiver::SetRestoreApplication(std::function<void()> restore)
{
    m_restore = std::move(restore);
}

bool HandOffReceiver::HandOff(const QString& path)
{
    if (!handoff::Fits(path))
        return false;
    const QByteArray bytes = handoff::EncodePath(path);
    if (!m_turnFile.isEmpty()) {
        QLockFile turn(m_turnFile);
        turn.setStaleLockTime(0);
        // Never wait here: the start holding the turn waits for this thread to read its path.
        if (!turn.tryLock(0) && turn.error() == QLockFile::LockFailedError) {
            StartRestore(bytes);
            return true;
        }
    }
    if (!handoff::WriteFile(handoff::FilePath(m_folder), bytes))
        return false;
    Take(hub::UM_HANDOFF_NOTIFY{});
    return true;
}

void HandOffReceiver::Take(hub::UM_HANDOFF_NOTIFY)
{
    // The writer lets the next start rewrite the file as soon as this returns.
    StartRestore(handoff::ReadFile(handoff::FilePath(m_folder)));
}

void HandOffReceiver::StartRestore(std::optional<QByteArray> path)
{
    // A previous worker has at most its 50 ms left.
    m_worker.Join();
    m_worker.Start([this, path = std::move(path)] {
        // Messages to `this` are discarded if it is destroyed first; the destructor joins, so
        // `this` outlives the worker.
        HandOver(this, hub::RestoreForHandOff{});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        HandOver(this, hub::UM_HANDOFF_OPEN{path});
    });
}

void HandOffReceiver::Take(hub::RestoreForHandOff)
{
    if (m_restore)
        m_restore();
}

void HandOffReceiver::Take(hub::UM_HANDOFF_OPEN open)
{
    if (!open.path)
        return;
    emit openSendRequested(QFile::decodeName(*open.path));
}

} // namespace vantrel
