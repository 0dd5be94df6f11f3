#pragma once

#include <QString>

#include <cstdint>

namespace vantrel {

// One send asked for on the command line ("--send HOST[:PORT] PATH ...").
struct SendRequest
{
    QString hostText;
    QString path;
    QString comment;
    bool compress = true;
    std::uint32_t bandLimit = 0; // Kb/sec, 0 = none
    // --trust-fingerprint: an untrusted receiver's authority is trusted when its SHA-256
    // fingerprint has these hex digits (upper case, separators removed); empty: never.
    QString trustFingerprint;
};

} // namespace vantrel
