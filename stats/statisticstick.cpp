#include "stats/statisticstick.h"

#include "stats/formatsize.h"
#include "stats/ratecounters.h"

#include <QCoreApplication>

#include <algorithm>

namespace vantrel {

namespace {

QString RateText(const char* label, double bytesPerSecond)
{
    // Truncated towards zero before formatting; a rate beyond 32 bits is held at the top.
    const double clamped = std::clamp(bytesPerSecond, 0.0, 4294967295.0);
    return QCoreApplication::translate("StatisticsTick", label) +
           FormatSize(static_cast<std::uint32_t>(clamped)) + QStringLiteral("/sec");
}

// Marked for translation here, translated where they are used.
const char* const DownloadLabel = QT_TRANSLATE_NOOP("StatisticsTick", "Actual Download Rate: ");
const char* const UploadLabel = QT_TRANSLATE_NOOP("StatisticsTick", "Actual Upload Rate: ");

QString ActiveText(int activeTransfers)
{
    return QCoreApplication::translate("StatisticsTick", "Active Transfers: ") +
           QString::number(activeTransfers);
}

} // namespace

StatisticsTick::Texts StatisticsTick::InitialTexts()
{
    return {ActiveText(0), RateText(DownloadLabel, 0), RateText(UploadLabel, 0)};
}

StatisticsTick::Texts StatisticsTick::Tick(std::uint32_t now, int activeTransfers)
{
    const std::uint32_t elapsed = now - m_counters.lastTick; // unsigned: survives the wrap
    double down = 0.0;
    double up = 0.0;
    // Two ticks within the same millisecond measure nothing; their bytes stay in the counters
    // for the next tick instead of being divided by zero or dropped.
    if (elapsed > 0) {
        const double seconds = elapsed * 0.001;
        const RateCounters::Taken taken = m_counters.TakeAndReset();
        m_counters.lastTick = now;
        down = taken.downloadBytes / seconds;
        up = taken.uploadBytes / seconds;
    }
    m_history.Push(down, up);
    return {ActiveText(activeTransfers), RateText(DownloadLabel, down), RateText(UploadLabel, up)};
}

} // namespace vantrel
