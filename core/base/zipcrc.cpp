#include "core/base/zipcrc.h"

#include <libdeflate.h>

namespace vantrel::zipcrc {

std::uint32_t Update(std::uint32_t crc, const void* data, std::size_t length)
{
    return libdeflate_crc32(crc, data, length);
}

} // namespace vantrel::zipcrc
