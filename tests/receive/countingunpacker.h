#pragma once

#include "core/base/archiveunpacker.h"

#include <atomic>

namespace vantrel::test {

// Counts the archives that reach each kind of extraction, and passes them on.
class CountingUnpacker final : public ArchiveUnpacker
{
public:
    explicit CountingUnpacker(const ArchiveUnpacker* inner) : m_inner(inner) {}
    Result Unpack(bool directory, const char* archivePath, const char* target,
                  std::uint32_t* progress, std::uint32_t* cancel,
                  std::uint64_t limitBytes) const override
    {
        ++calls;
        return m_inner->Unpack(directory, archivePath, target, progress, cancel, limitBytes);
    }
    Result UnpackWhileArriving(const char* archivePath, const char* target, std::uint32_t* progress,
                               std::uint32_t* cancel, std::uint64_t limitBytes,
                               const std::uint64_t* arrived,
                               const std::uint32_t* complete) const override
    {
        const Result result = m_inner->UnpackWhileArriving(archivePath, target, progress, cancel,
                                                           limitBytes, arrived, complete);
        if (result != Result::NotStreamable)
            ++whileArriving;
        return result;
    }
    mutable std::atomic<int> calls{0};         // the ordinary extraction
    mutable std::atomic<int> whileArriving{0}; // overlapping the stream, and not declined

private:
    const ArchiveUnpacker* m_inner;
};

} // namespace vantrel::test
