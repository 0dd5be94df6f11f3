#pragma once

#include <QString>

#include <cstdint>

namespace vantrel::sendtexts {

// A size that does not fit the 32-bit formatters, in the same style ("5120.00 Mb").
QString LargeSize(std::uint64_t bytes);

} // namespace vantrel::sendtexts
