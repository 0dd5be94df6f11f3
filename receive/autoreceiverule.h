#pragma once

#include <QString>

#include <cstdint>

namespace vantrel {

// One auto-receive rule as the list file keeps it.
struct AutoReceiveRule
{
    bool enabled = true;
    QString host;               // at most 511 bytes
    QString saveFolder;         // at most 511 bytes, no trailing "/"
    std::int32_t bandLimit = 0; // Kb/sec, 0 = no limit

    QString BandLimitText() const; // "No Limit" or "<n> Kb/sec"
};

} // namespace vantrel
