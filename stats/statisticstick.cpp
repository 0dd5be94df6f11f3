#include "stats/statisticstick.h"

#include "stats/formatsize.h"
#include "stats/ratecounters.h"

#include <QCoreApplication>

namespace vantrel {

namespace {

QString RateText(const char* label, double bytesPerSecond)
{
    // Truncated towards zero before formatting; a rate beyond 32 bits is held at the top.
    const double clamped = std::clamp(bytesPerSecond, 0.0, 4294967295.0);
    return QCoreApplication::translate("StatisticsTick", label) +
           FormatSize(static_cast<std::uint32_t>(clamped)) + QStringLiteral("/sec");
}

} // namespace

StatisticsTick::Texts StatisticsTick::InitialTexts()
{
    return {QCoreApplication::translate("StatisticsTick", "Active Transfers: ") +
                QString::number(0),
            RateText("Actual Download Rate: ", 0), RateText("Actual Upload Rate: ", 0)};
}

StatisticsTick::Texts StatisticsTick::Tick(std::uint32_t now, int activeTransfers)
{
    const std::uint32_t elapsed = now - m_counters.lastTick; // unsigned: survives the wrap
    const double seconds = elapsed * 0.001;
    const RateCounters::Taken taken = m_counters.TakeAndReset();
    m_counters.lastTick = now;
    // Two ticks within the same millisecond measure nothing rather than divide by zero.
    const double down = seconds > 0 ? taken.downloadBytes / seconds : 0.0;
    const double up = seconds > 0 ? taken.uploadBytes / seconds : 0.0;
    m_history.Push(down, up);
    return {QCoreApplication::translate("StatisticsTick", "Active Transfers: ") +
                QString::number(activeTransfers),
            RateText("Actual Download Rate: ", down), RateText("Actual Upload Rate: ", up)};
}

} // namespace vantrel
