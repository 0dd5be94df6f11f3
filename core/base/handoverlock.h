#pragma once

// Qt's event queue is guarded by a lock inside the Qt library, which ThreadSanitizer cannot
// see when Qt itself is not built with it. These marks tell it what that lock guarantees:
// whatever a thread wrote before posting an event happens before the receiver handles it.
// They cost nothing in other builds.

class QCoreApplication;

namespace vantrel {

#if defined(__SANITIZE_THREAD__)
namespace handover_detail {
inline char token;
} // namespace handover_detail
extern "C" void AnnotateHappensBefore(const char* file, int line, const volatile void* address);
extern "C" void AnnotateHappensAfter(const char* file, int line, const volatile void* address);
inline void MarkHandOver()
{
    AnnotateHappensBefore(__FILE__, __LINE__, &handover_detail::token);
}
inline void MarkTakeOver()
{
    AnnotateHappensAfter(__FILE__, __LINE__, &handover_detail::token);
}
#else
inline void MarkHandOver() {}
inline void MarkTakeOver() {}
#endif

// Held around posting: the queue's own lock inside Qt is invisible to the sanitizer, so posts
// from several threads take this one as well (sanitizer builds only).
class HandOverLock
{
public:
    HandOverLock();
    ~HandOverLock();
    HandOverLock(const HandOverLock&) = delete;
    HandOverLock& operator=(const HandOverLock&) = delete;
};

// Marks the take-over before every event the application delivers (sanitizer builds only).
void InstallHandOverMarks(QCoreApplication& application);

} // namespace vantrel
