#include "stats/formatsize.h"

#include <QCoreApplication>

namespace vantrel {

namespace {

constexpr std::uint32_t KiB = 1024;
constexpr std::uint32_t MiB = 1024 * 1024;

// Whole units only for exact multiples; anything else shows two rounded decimals, so a count
// just below a unit reads "1024.00 Kb" rather than jumping to "1 Mb".
// `text` is the unit's words around the figure ("%1 Mb").
QString Scaled(std::uint32_t bytes, std::uint32_t unit, const QString& text)
{
    if (bytes % unit == 0)
        return text.arg(QString::asprintf("%u", bytes / unit));
    return text.arg(QString::asprintf("%.2f", static_cast<double>(bytes) / unit));
}

} // namespace

QString FormatSize(std::uint32_t bytes)
{
    if (bytes >= MiB)
        return Scaled(bytes, MiB, QCoreApplication::translate("FormatSize", "%1 Mb"));
    if (bytes >= KiB)
        return Scaled(bytes, KiB, QCoreApplication::translate("FormatSize", "%1 Kb"));
    return QCoreApplication::translate("FormatSize", "%1 bytes").arg(bytes);
}

QString FormatSizeFixed(std::uint32_t bytes)
{
    if (bytes > MiB)
        return QCoreApplication::translate("FormatSize", "%1 Mb")
            .arg(QString::asprintf("%.2f", double(bytes) / MiB));
    if (bytes > KiB)
        return QCoreApplication::translate("FormatSize", "%1 Kb")
            .arg(QString::asprintf("%.2f", double(bytes) / KiB));
    return QCoreApplication::translate("FormatSize", "%1 bytes").arg(bytes);
}

} // namespace vantrel
