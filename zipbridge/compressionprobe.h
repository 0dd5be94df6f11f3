#pragma once

#include <cstddef>
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
    // The same decision for a file whose `size` bytes are all at `data`.
    static bool ShouldStoreData(const unsigned char* data, std::size_t size,
                                std::vector<unsigned char>& scratch);

    // What both decisions rest on, for a caller that deflates a whole small file anyway: a
    // file of at most 3 * kSampleBytes is one sample, and the decision for it is exactly
    // "a compressed format's signature, or deflating does not save enough".
    static bool HasCompressedSignature(const unsigned char* data, std::size_t length);
    static bool DeflateSavesEnough(std::uint64_t sampled, std::uint64_t compressed);

    static constexpr std::size_t kSampleBytes = 64 * 1024;
};

} // namespace vantrel
