#include "stats/transferprogress.h"

#include <algorithm>

namespace vantrel {

void TransferProgress::Start(std::uint32_t nowMs, std::uint32_t bytes)
{
    m_lastTime = nowMs;
    m_lastBytes = bytes;
}

std::optional<TransferProgress::Reading>
TransferProgress::Measure(std::uint32_t nowMs, std::uint32_t bytes, std::uint32_t total)
{
    const std::uint32_t seconds = (nowMs - m_lastTime) / 1000; // right across the tick's wrap
    if (seconds == 0)
        return std::nullopt;
    Reading reading;
    reading.bytesPerSecond = (bytes - m_lastBytes) / seconds;
    if (reading.bytesPerSecond != 0)
        reading.secondsLeft = bytes < total ? (total - bytes) / reading.bytesPerSecond : 0;
    m_lastTime = nowMs;
    m_lastBytes = bytes;
    return reading;
}

int TransferProgress::Percent(std::uint32_t done, std::uint32_t total)
{
    if (total == 0)
        return 100;
    return static_cast<int>(std::min<std::uint64_t>(100, std::uint64_t{done} * 100 / total));
}

std::int64_t TransferProgress::EfficiencyPercent(std::uint32_t totalSize,
                                                 std::uint32_t archiveBytes)
{
    if (totalSize == 0)
        return 0;
    // Signed and in doubles: an archive larger than its content saves a negative amount,
    // which unsigned arithmetic would turn into a huge one.
    const double saved = double(std::int64_t{totalSize} - std::int64_t{archiveBytes});
    return static_cast<std::int64_t>(saved * 100.0 / totalSize + 0.5);
}

} // namespace vantrel
