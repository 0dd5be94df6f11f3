#pragma once

#include <cstdint>

namespace vantrel {

// The one rule for results that arrive after their transfer moved on: each run of a worker
// gets a number, every result it hands over carries it in `run`, and the receiver drops a
// result whose run is no longer the current one (stopped, superseded or closed).
class RunCounter
{
public:
    // A new run; results of earlier runs are stale from now on.
    std::uint64_t Begin() { return ++m_current; }
    // Makes the results of the current run stale without starting another.
    void Retire() { ++m_current; }
    std::uint64_t current() const { return m_current; }

    template <typename Message> bool IsStale(const Message& message) const
    {
        return message.run != m_current;
    }

private:
    std::uint64_t m_current = 0;
};

} // namespace vantrel
