#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel::zipcrc {

// The zip checksum (the same values as zlib's crc32) of `length` more bytes after `crc`
// (0 to begin). libdeflate's, which folds by carry-less multiplication where the processor
// has it: several times faster than zlib's tables, which a stored gigabyte would otherwise
// spend most of a second in on each side. Free of Qt: the compression component builds
// it too.
std::uint32_t Update(std::uint32_t crc, const void* data, std::size_t length);

} // namespace vantrel::zipcrc
