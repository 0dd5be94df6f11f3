#include "vantrelapplication.h"

#include <exception>

VantrelApplication::VantrelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void VantrelApplication::SetShowException(std::function<void(const QString&)> show)
{
    m_showException = std::move(show);
}

bool VantrelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        Fail(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        Fail(QString());
    }
    return false;
}

void VantrelApplication::Fail(const QString& message)
{
    // The box runs an event loop of its own: a second failure inside it is not shown again.
    if (m_failed)
        return;
    m_failed = true;
    if (m_showException)
        m_showException(message);
    exit(1);
}
