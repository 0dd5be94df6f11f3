#include "stats/progresstexts.h"

namespace vantrel {

QString ProgressTexts::Percent(int percent)
{
    return tr("%1%").arg(percent);
}

QString ProgressTexts::Speed(const QString& sizeText)
{
    return tr("%1/sec").arg(sizeText);
}

QString ProgressTexts::TimeLeft(std::optional<std::uint32_t> seconds)
{
    if (!seconds)
        return NotAvailable();
    const std::uint32_t s = *seconds;
    return QString::asprintf("%02u:%02u.%02u", s / 3600, (s % 3600) / 60, s % 60);
}

QString ProgressTexts::Efficiency(std::int64_t percent)
{
    return tr("%1% Efficiency").arg(QString::asprintf("%02lld", static_cast<long long>(percent)));
}

QString ProgressTexts::NotAvailable()
{
    return tr("N/A");
}

} // namespace vantrel
