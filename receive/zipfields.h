#pragma once

#include "core/base/littleendian.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// Little-endian fields of zip headers, and the extra fields a stored entry may carry when it
// is cut out of its archive directly.
namespace vantrel::zipfields {

inline std::uint16_t U16(const unsigned char* p)
{
    return littleendian::GetU16(p);
}

inline std::uint32_t U32(const unsigned char* p)
{
    return littleendian::GetU32(p);
}

struct ExtraTimes
{
    std::optional<std::uint32_t> mtime;
    std::optional<std::uint32_t> atime;
};

// The extended timestamp of an extra field block. Only the fields whose meaning for the
// result is known here are accepted (the timestamp, and the owner ids, which are not
// applied): anything else, a malformed block, a time past 2038 or, for a local header, no
// modification time, gives nothing, and the entry takes the ordinary extraction.
inline std::optional<ExtraTimes> ReadExtra(const unsigned char* p, std::size_t length, bool local)
{
    constexpr std::uint16_t Timestamp = 0x5455;
    constexpr std::uint16_t UnixOwner = 0x7875;
    constexpr std::uint16_t UnixOwnerOld = 0x7855;
    ExtraTimes times;
    bool sawTimestamp = false;
    std::size_t at = 0;
    while (at < length) {
        if (length - at < 4)
            return std::nullopt;
        const std::uint16_t id = U16(p + at);
        const std::size_t size = U16(p + at + 2);
        at += 4;
        if (length - at < size)
            return std::nullopt;
        const unsigned char* data = p + at;
        at += size;
        if (id == UnixOwner || id == UnixOwnerOld)
            continue;
        if (id != Timestamp || sawTimestamp || size < 1)
            return std::nullopt;
        sawTimestamp = true;
        const unsigned flags = data[0];
        std::size_t field = 1;
        std::optional<std::uint32_t>* slots[2] = {&times.mtime, &times.atime};
        for (unsigned bit = 0; bit < 2; ++bit) {
            if ((flags & (1u << bit)) == 0)
                continue;
            if (size - field < 4)
                break;
            const std::uint32_t value = U32(data + field);
            if (value >= 0x80000000u)
                return std::nullopt;
            *slots[bit] = value;
            field += 4;
        }
    }
    if (local && !times.mtime)
        return std::nullopt;
    return times;
}

} // namespace vantrel::zipfields
