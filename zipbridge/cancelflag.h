#pragma once

#include <atomic>
#include <cstdint>

namespace vantrel {

// The caller's cancel word (1 = stop), read atomically.
class CancelFlag
{
public:
    explicit CancelFlag(std::uint32_t* word) : m_word(word) {}

    bool Requested() const
    {
        return m_word &&
               std::atomic_ref<std::uint32_t>(*m_word).load(std::memory_order_relaxed) == 1;
    }

private:
    std::uint32_t* m_word;
};

} // namespace vantrel
