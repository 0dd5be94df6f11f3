#pragma once

#include "stats/ratehistory.h"

#include <QString>

#include <cstdint>

namespace vantrel {

class RateCounters;

// The two-second statistics tick: turns the bytes all transfers moved since the previous
// tick into download and upload rates over the time that really passed, words them for the
// status bar and appends them to the history behind the graphs.
class StatisticsTick
{
public:
    struct Texts
    {
        QString activeTransfers; // "Active Transfers: N"
        QString downloadRate;    // "Actual Download Rate: <size>/sec"
        QString uploadRate;      // "Actual Upload Rate: <size>/sec"
    };

    // The first tick measures from counters.lastTick, which the caller sets at creation.
    explicit StatisticsTick(RateCounters& counters) : m_counters(counters) {}

    // One tick at the millisecond tick count `now` (32-bit, wrapping).
    Texts Tick(std::uint32_t now, int activeTransfers);
    static Texts InitialTexts();

    const RateHistory& history() const { return m_history; }

private:
    RateCounters& m_counters;
    RateHistory m_history;
};

} // namespace vantrel
