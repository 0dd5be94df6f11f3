#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

namespace vantrel::bench {

// Seconds of every contender in every round, and what the summary makes of them: each
// round's figures side by side, medians, and ratios between two contenders round by round
// with the target they are measured against.
class RoundFigures
{
public:
    // A failed run is recorded as a negative figure and left out of medians and ratios.
    void Add(const QString& contender, int round, double seconds);
    double Median(const QString& contender) const;

    // Per round, every contender in the order first added; then the medians.
    void PrintRounds(int rounds) const;
    // "numerator ÷ denominator": the ratio of every round, their median, and `target`.
    void PrintRatio(const QString& numerator, const QString& denominator,
                    const QString& target) const;

private:
    QStringList m_order;
    QMap<QString, QMap<int, double>> m_seconds;
};

} // namespace vantrel::bench
