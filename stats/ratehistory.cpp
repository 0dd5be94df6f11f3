#include "stats/ratehistory.h"

#include <algorithm>

namespace vantrel {

void RateHistory::Push(double downBytesPerSecond, double upBytesPerSecond)
{
    m_down[std::size_t(m_index)] = downBytesPerSecond / 1024.0;
    m_up[std::size_t(m_index)] = upBytesPerSecond / 1024.0;
    m_index = (m_index + 1) % Size;
}

std::vector<double> RateHistory::Points(const std::array<double, Size>& ring) const
{
    if (std::all_of(ring.begin(), ring.end(), [](double sample) { return sample == 0.0; }))
        return {};
    std::vector<double> points;
    points.reserve(Size);
    for (int j = 0; j < Size; ++j)
        points.push_back(ring[std::size_t((m_index + j) % Size)]);
    return points;
}

} // namespace vantrel
