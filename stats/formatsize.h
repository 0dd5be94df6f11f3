#pragma once

#include <QString>

#include <cstdint>

namespace vantrel {

// "1 Kb", "1.50 Kb", "976.56 Kb", "5 Mb", "1023 bytes": whole forms only for exact multiples.
QString FormatSize(std::uint32_t bytes);
// Always two decimals, strict thresholds: 1024 -> "1024 bytes", 1025 -> "1.00 Kb".
QString FormatSizeFixed(std::uint32_t bytes);

} // namespace vantrel
