#include "core/handoffreceiver.h"

#include "core/handoff.h"

#include <QFile>
#include <QMetaObject>

#include <chrono>

namespace vantrel {

HandOffReceiver::HandOffReceiver(ProgramFolder folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder))
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
    if (!handoff::WriteFile(handoff::FilePath(m_folder), handoff::EncodePath(path)))
        return false;
    HandOver(this, hub::UM_HANDOFF_NOTIFY{});
    return true;
}

void HandOffReceiver::Take(hub::UM_HANDOFF_NOTIFY)
{
    // A previous worker has at most its 50 ms left.
    m_worker.Join();
    m_worker.Start([this] {
        // Messages to `this` are discarded if it is destroyed first; the destructor joins, so
        // `this` outlives the worker.
        HandOver(this, hub::RestoreForHandOff{});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        HandOver(this, hub::UM_HANDOFF_OPEN{});
    });
}

void HandOffReceiver::Take(hub::RestoreForHandOff)
{
    if (m_restore)
        m_restore();
}

void HandOffReceiver::Take(hub::UM_HANDOFF_OPEN)
{
    const std::optional<QByteArray> path = handoff::ReadFile(handoff::FilePath(m_folder));
    if (!path)
        return;
    emit openSendRequested(QFile::decodeName(*path));
}

} // namespace vantrel
