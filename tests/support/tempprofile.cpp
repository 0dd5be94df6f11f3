#include "tests/support/tempprofile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace vantrel::test {

TempFolder::TempFolder() : m_path(m_dir.path()) {}

void TempFolder::write(const QString& relativeName, const QByteArray& bytes) const
{
    const QString target = file(relativeName);
    QDir().mkpath(QFileInfo(target).path());
    QFile f(target);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
        QThread::msleep(2);
    }
    return true;
}

QString BuildFolder()
{
    const QByteArray env = qgetenv("VANTREL_BUILD_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QCoreApplication::applicationDirPath();
}

} // namespace vantrel::test
