#include "stats/formatsize.h"

namespace vantrel {

namespace {

constexpr std::uint32_t KiB = 1024;
constexpr std::uint32_t MiB = 1024 * 1024;

// Whole units only for exact multiples; anything else shows two rounded decimals, so a count
// just below a unit reads "1024.00 Kb" rather than jumping to "1 Mb".
QString Scaled(std::uint32_t bytes, std::uint32_t unit, const char* suffix)
{
    if (bytes % unit == 0)
        return QString::asprintf("%u %s", bytes / unit, suffix);
    return QString::asprintf("%.2f %s", static_cast<double>(bytes) / unit, suffix);
}

} // namespace

QString FormatSize(std::uint32_t bytes)
{
    if (bytes >= MiB)
        return Scaled(bytes, MiB, "Mb");
    if (bytes >= KiB)
        return Scaled(bytes, KiB, "Kb");
    return QString::asprintf("%u bytes", bytes);
}

QString FormatSizeFixed(std::uint32_t bytes)
{
    if (bytes > MiB)
        return QString::asprintf("%.2f Mb", static_cast<double>(bytes) / MiB);
    if (bytes > KiB)
        return QString::asprintf("%.2f Kb", static_cast<double>(bytes) / KiB);
    return QString::asprintf("%u bytes", bytes);
}

} // namespace vantrel
