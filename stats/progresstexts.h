#pragma once

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantrel {

// The words of the progress fields, the same in both directions.
class ProgressTexts
{
    Q_DECLARE_TR_FUNCTIONS(ProgressTexts)
public:
    // "37%"
    static QString Percent(int percent);
    // A formatted size per second: "1.50 Kb/sec".
    static QString Speed(const QString& sizeText);
    // "hh:mm.ss", or "N/A" when nothing moves.
    static QString TimeLeft(std::optional<std::uint32_t> seconds);
    // "60% Efficiency", "00% Efficiency", "-1% Efficiency".
    static QString Efficiency(std::int64_t percent);
    // What the fields read before there is anything to show.
    static QString NotAvailable();
};

} // namespace vantrel
