#include "zipbridge/zipfields.h"

#include <ctime>

namespace vantrel {

namespace {

bool IsAscii(const unsigned char* s, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (s[i] >= 0x80)
            return false;
    return true;
}

bool IsValidUtf8(const unsigned char* s, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            code = code << 6 | (s[i + k] & 0x3F);
        }
        static constexpr std::uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

std::uint32_t ZipFields::DosTimeUtc(std::int64_t seconds)
{
    const time_t t = static_cast<time_t>(seconds);
    struct tm parts = {};
    if (!gmtime_r(&t, &parts) || parts.tm_year < 80)
        return 0x00210000u; // 1980-01-01 00:00:00
    if (parts.tm_year > 207)
        return 0xff9fbf7du; // 2107-12-31 23:59:58
    const std::uint32_t date = static_cast<std::uint32_t>((parts.tm_year - 80) << 9 |
                                                          (parts.tm_mon + 1) << 5 | parts.tm_mday);
    const std::uint32_t time =
        static_cast<std::uint32_t>(parts.tm_hour << 11 | parts.tm_min << 5 | parts.tm_sec / 2);
    return date << 16 | time;
}

bool ZipFields::IsUtf8Name(const unsigned char* name, std::size_t length)
{
    return !IsAscii(name, length) && IsValidUtf8(name, length);
}

} // namespace vantrel
