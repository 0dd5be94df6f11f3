#include "core/handoffreceiver.h"

#include "core/base/eventnumbers.h"
#include "core/handoff.h"
#include "core/base/payloadevent.h"

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
    if (m_worker.joinable())
        m_worker.join();
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
    postNumbered(this, hub::UM_HANDOFF_NOTIFY);
    return true;
}

void HandOffReceiver::customEvent(QEvent* event)
{
    if (RunIfCall(event))
        return;
    const int number = static_cast<int>(event->type());
    if (number == hub::UM_HANDOFF_NOTIFY)
        StartRestoreWorker();
    else if (number == hub::UM_HANDOFF_OPEN)
        OpenHandedOffPath();
    else
        QObject::customEvent(event);
}

void HandOffReceiver::StartRestoreWorker()
{
    // A previous worker has at most its 50 ms left.
    if (m_worker.joinable())
        m_worker.join();
    m_worker = std::thread([this] {
        // Queued calls and posted events to `this` are discarded if it is destroyed first;
        // the destructor joins, so `this` outlives the worker.
        postCall(this, [this] {
            if (m_restore)
                m_restore();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        postNumbered(this, hub::UM_HANDOFF_OPEN);
    });
}

void HandOffReceiver::OpenHandedOffPath()
{
    const std::optional<QByteArray> path = handoff::ReadFile(handoff::FilePath(m_folder));
    if (!path)
        return;
    emit openSendRequested(QFile::decodeName(*path));
}

} // namespace vantrel
