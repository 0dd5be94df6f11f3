#pragma once

#include <QString>

#include <cstdint>

namespace vantrel {

// What a match hands the new receive transfer.
struct AutoReceiveMatch
{
    QString ruleFolder;
    std::uint32_t bandLimit = 0; // Kb/sec, 0 = no limit
};

} // namespace vantrel
