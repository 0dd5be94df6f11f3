#include "send/sendtexts.h"

namespace vantrel::sendtexts {

QString Efficiency(std::uint32_t totalSize, std::uint32_t archiveSize)
{
    int percent = 0;
    if (totalSize > 0) {
        const double gain = static_cast<double>(static_cast<std::int64_t>(totalSize) -
                                                static_cast<std::int64_t>(archiveSize));
        percent = static_cast<int>(gain * 100.0 / totalSize + 0.5);
    }
    return QString::asprintf("%02d%% Efficiency", percent);
}

QString TimeLeft(std::uint32_t seconds)
{
    return QString::asprintf("%02u:%02u.%02u", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

QString Percent(std::uint32_t sent, std::uint32_t stream)
{
    const std::uint64_t percent =
        stream == 0 ? 100 : static_cast<std::uint64_t>(sent) * 100 / stream;
    return QString::asprintf("%d%%", static_cast<int>(percent));
}

QString LargeSize(std::uint64_t bytes)
{
    return QString::asprintf("%.2f Mb", static_cast<double>(bytes) / 1048576.0);
}

} // namespace vantrel::sendtexts
