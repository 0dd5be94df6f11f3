#include "core/base/handoverlock.h"

#include <QCoreApplication>
#include <QObject>

#include <mutex>

namespace vantrel {

#if defined(__SANITIZE_THREAD__)
// glibc guards its time zone state with an internal lock the sanitizer cannot see. Qt is not
// built with the sanitizer either: the allocations and copies it makes under its own locks
// (the posted-event queue that every hand-over and every timer goes through) carry no marks,
// so what it calls on the program's behalf is left out; accesses made by our own code are
// still checked. Qt Gui likewise paints and scales images on threads of its own pool, which
// our code never touches, and the sound system's client library runs its own threads.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:tzset_internal\n"
           "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libpulsecommon\n"
           "called_from_lib:libpulse.so\n";
}

namespace {

std::mutex g_postLock;

// A hand-over builds its event inside the post (Qt allocates it), so the receiver may see the
// event before the poster's closing mark: passing through the posters' lock orders the two.
class TakeOverFilter final : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent*) override
    {
        {
            const std::lock_guard lock(g_postLock);
        }
        MarkTakeOver();
        return false;
    }
};

} // namespace

HandOverLock::HandOverLock()
{
    g_postLock.lock();
    MarkTakeOver();
    MarkHandOver();
}

HandOverLock::~HandOverLock()
{
    MarkHandOver();
    g_postLock.unlock();
}
#else
HandOverLock::HandOverLock() = default;
HandOverLock::~HandOverLock() = default;
#endif

void InstallHandOverMarks(QCoreApplication& application)
{
#if defined(__SANITIZE_THREAD__)
    application.installEventFilter(new TakeOverFilter(&application));
#else
    (void)application;
#endif
}

} // namespace vantrel
