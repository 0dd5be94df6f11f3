#pragma once

#include <array>
#include <vector>

namespace vantrel {

// The last 50 download and upload rates (kilobytes per second), one ring each with a shared
// write index, which after a push designates the oldest sample.
class RateHistory
{
public:
    static constexpr int Size = 50;

    // Rates in bytes per second; stored divided by 1024.
    void Push(double downBytesPerSecond, double upBytesPerSecond);

    int index() const { return m_index; }
    // A graph's points, oldest first; empty when all 50 samples are exactly 0, so that an
    // idle direction shows no graph instead of a flat line.
    std::vector<double> DownPoints() const { return Points(m_down); }
    std::vector<double> UpPoints() const { return Points(m_up); }

private:
    std::vector<double> Points(const std::array<double, Size>& ring) const;

    std::array<double, Size> m_down{};
    std::array<double, Size> m_up{};
    int m_index = 0;
};

} // namespace vantrel
