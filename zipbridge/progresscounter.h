#pragma once

#include <atomic>
#include <cstdint>

namespace vantrel {

// The caller's 32-bit progress word: written here, polled by another thread. Values above
// 32 bits saturate rather than wrap, so a huge total never looks reached early.
class ProgressCounter
{
public:
    explicit ProgressCounter(std::uint32_t* word) : m_word(word) {}

    void Publish(std::uint64_t value) const
    {
        if (m_word)
            std::atomic_ref<std::uint32_t>(*m_word).store(Clamp(value), std::memory_order_relaxed);
    }

    // The last store of an operation: whoever sees it also sees everything written before.
    void PublishFinal(std::uint64_t value) const
    {
        if (m_word)
            std::atomic_ref<std::uint32_t>(*m_word).store(Clamp(value), std::memory_order_release);
    }

    static std::uint32_t Clamp(std::uint64_t value)
    {
        return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
    }

private:
    std::uint32_t* m_word;
};

} // namespace vantrel
