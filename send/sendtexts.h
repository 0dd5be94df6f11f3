#pragma once

#include <QString>

#include <cstdint>

namespace vantrel::sendtexts {

// "60% Efficiency": (total - archive) x 100 / total, plus 0.5, truncated; "00% Efficiency"
// for an empty source (nothing to gain, and no division by zero).
QString Efficiency(std::uint32_t totalSize, std::uint32_t archiveSize);

// "hh:mm.ss" for a number of seconds.
QString TimeLeft(std::uint32_t seconds);

// "37%": sent of stream, truncated; an empty stream counts as done.
QString Percent(std::uint32_t sent, std::uint32_t stream);

// A size that does not fit the 32-bit formatters, in the same style ("5120.00 Mb").
QString LargeSize(std::uint64_t bytes);

} // namespace vantrel::sendtexts
