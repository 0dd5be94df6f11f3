#include "core/base/cututf8.h"

#include <cstdint>

namespace vantrel {

namespace {

// Length of the well-formed character starting at `at` (1 to 4), or 0 when none starts there.
int CharacterLength(const std::uint8_t* at, qsizetype available)
{
    const std::uint8_t lead = at[0];
    if (lead < 0x80)
        return 1;
    int length = 0;
    std::uint8_t low = 0x80; // allowed range of the second byte
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong below
        else if (lead == 0xED)
            high = 0x9F; // surrogates above
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong below
        else if (lead == 0xF4)
            high = 0x8F; // beyond U+10FFFF above
    } else {
        return 0;
    }
    if (available < length || at[1] < low || at[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if ((at[i] & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

QByteArray CutUtf8(const QByteArray& text, int maxBytes)
{
    if (maxBytes <= 0)
        return {};
    if (text.size() <= maxBytes)
        return text;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.constData());
    qsizetype kept = 0;
    while (kept < maxBytes) {
        const int length = CharacterLength(bytes + kept, text.size() - kept);
        const int step = length == 0 ? 1 : length;
        if (kept + step > maxBytes)
            break;
        kept += step;
    }
    return text.left(kept);
}

} // namespace vantrel
