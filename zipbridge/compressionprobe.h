#pragma once

#include <cstdint>
#include <vector>

namespace vantrel {

// Decides per file whether deflating is worth its cost. Already compressed data deflates at a
// fraction of the speed of storing and gains nothing, so it is stored. The decision depends
// only on the file's bytes (a signature check, then a trial deflate of up to three samples),
// so an unchanged file always gets the same method and the archive stays byte-identical.
class CompressionProbe
{
public:
    // True when `fd` (a regular file of `size` bytes) should be stored, not deflated.
    // `scratch` is reused between calls to keep allocations out of the per-file path.
    static bool ShouldStore(int fd, std::uint64_t size, std::vector<unsigned char>& scratch);

    static constexpr std::size_t kSampleBytes = 64 * 1024;
};

} // namespace vantrel
