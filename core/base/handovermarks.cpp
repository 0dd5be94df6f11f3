#include "core/base/handovermarks.h"

#include <QCoreApplication>
#include <QObject>

#include <mutex>

namespace vantrel {

namespace {

class TakeOverFilter final : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent*) override
    {
        MarkTakeOver();
        return false;
    }
};

} // namespace

#if defined(__SANITIZE_THREAD__)
// glibc guards its time zone state with an internal lock the sanitizer cannot see.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:tzset_internal\n";
}

namespace {
std::mutex g_postLock;
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
