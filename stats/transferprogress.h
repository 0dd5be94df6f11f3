#pragma once

#include <cstdint>
#include <optional>

namespace vantrel {

// The progress figures both directions show: the part done, the speed since the last
// reading, the time left at that speed, and what an archive saves on its content.
class TransferProgress
{
public:
    struct Reading
    {
        std::uint32_t bytesPerSecond = 0;
        std::optional<std::uint32_t> secondsLeft; // none while nothing moves
    };

    // Measuring starts at `bytes` (a resume's offset): the first speed counts only new bytes.
    void Start(std::uint32_t nowMs, std::uint32_t bytes);
    // The speed in whole bytes per second over the whole seconds since the last reading;
    // nothing when not a whole second has passed (the reading stays open until then).
    std::optional<Reading> Measure(std::uint32_t nowMs, std::uint32_t bytes, std::uint32_t total);

    // Whole percent done, truncated; a stream with nothing in it is done, and the last
    // block, which may run past the end, counts as 100.
    static int Percent(std::uint32_t done, std::uint32_t total);
    // (total - archive) x 100 / total + 0.5, truncated toward zero: negative when the
    // archive is larger than its content, 0 for an empty content.
    static std::int64_t EfficiencyPercent(std::uint32_t totalSize, std::uint32_t archiveBytes);

private:
    std::uint32_t m_lastTime = 0;
    std::uint32_t m_lastBytes = 0;
};

} // namespace vantrel
