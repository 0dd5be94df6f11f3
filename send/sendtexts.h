#pragma once

#include <QString>

#include <cstdint>

namespace vantrel::sendtexts {

// A size that does not fit the 32-bit formatters, in the same style ("5120.00 Mb").
QString LargeSize(std::uint64_t bytes);

// Under the fingerprint of an untrusted receiver: what to compare before trusting its
// authority, or, when it presented only its own certificate, how its authority is imported.
QString TrustExplanation(bool authorityPresented);

} // namespace vantrel::sendtexts
