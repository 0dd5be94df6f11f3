#include "bench/transfer/roundfigures.h"

#include <algorithm>
#include <cstdio>

namespace vantrel::bench {

namespace {

double MedianOf(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

void RoundFigures::Add(const QString& contender, int round, double seconds)
{
    if (!m_order.contains(contender))
        m_order << contender;
    m_seconds[contender][round] = seconds;
}

double RoundFigures::Median(const QString& contender) const
{
    std::vector<double> values;
    for (double s : m_seconds.value(contender)) {
        if (s >= 0)
            values.push_back(s);
    }
    return MedianOf(values);
}

void RoundFigures::PrintRounds(int rounds) const
{
    std::printf("seconds per round (wall time, source in the page cache, writeback settled):\n");
    std::printf("  %-26s", "");
    for (int round = 1; round <= rounds; ++round)
        std::printf(" %8s", qPrintable(QStringLiteral("round %1").arg(round)));
    std::printf(" %8s\n", "median");
    for (const QString& contender : m_order) {
        std::printf("  %-26s", qPrintable(contender));
        const QMap<int, double> seconds = m_seconds.value(contender);
        for (int round = 1; round <= rounds; ++round) {
            const double s = seconds.value(round, -1);
            if (s >= 0)
                std::printf(" %8.2f", s);
            else
                std::printf(" %8s", seconds.contains(round) ? "failed" : "-");
        }
        std::printf(" %8.2f\n", Median(contender));
    }
}

void RoundFigures::PrintRatio(const QString& numerator, const QString& denominator,
                              const QString& target) const
{
    const QMap<int, double> top = m_seconds.value(numerator);
    const QMap<int, double> bottom = m_seconds.value(denominator);
    std::vector<double> ratios;
    QStringList perRound;
    for (auto it = top.begin(); it != top.end(); ++it) {
        const double b = bottom.value(it.key(), -1);
        if (it.value() < 0 || b <= 0)
            continue;
        ratios.push_back(it.value() / b);
        perRound << QString::number(ratios.back(), 'f', 2);
    }
    if (ratios.empty())
        return;
    std::printf("  %-44s median %5.2fx  target %-8s rounds %s\n",
                qPrintable(numerator + QStringLiteral(" / ") + denominator), MedianOf(ratios),
                qPrintable(target), qPrintable(perRound.join(QLatin1Char(' '))));
}

} // namespace vantrel::bench
