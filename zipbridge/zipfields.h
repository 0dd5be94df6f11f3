#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// The header field values that must not depend on the machine that writes the archive.
class ZipFields
{
public:
    // MS-DOS date and time (2-second resolution) of a UTC instant, clamped to 1980..2107.
    static std::uint32_t DosTimeUtc(std::int64_t seconds);
    // Whether a name gets the UTF-8 flag (bit 11): non-ASCII and valid UTF-8.
    static bool IsUtf8Name(const unsigned char* name, std::size_t length);
};

} // namespace vantrel
