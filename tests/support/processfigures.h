#pragma once

#include <QtGlobal>

namespace vantrel::test {

// Figures of the running process from /proc/self, for load tests and benchmarks: memory in
// KiB, open descriptors and threads. -1 where /proc cannot tell.
class ProcessFigures
{
public:
    static qint64 ResidentKiB(); // VmRSS
    static qint64 PeakKiB();     // VmHWM
    // Starts the peak over from the present resident size; false where the kernel cannot.
    static bool ResetPeak();
    static int Descriptors();
    static int Threads();
};

} // namespace vantrel::test
