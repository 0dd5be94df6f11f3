#include "core/base/zipcrc.h"

#include <zlib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VANTREL_ZIPCRC_FOLD 1
#endif

namespace vantrel::zipcrc {

namespace {

#ifdef VANTREL_ZIPCRC_FOLD

#define VANTREL_ZIPCRC_TARGET __attribute__((target("pclmul,sse4.1")))

VANTREL_ZIPCRC_TARGET inline __m128i Load(const unsigned char* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// One lane times the constants, plus the next 16 bytes.
VANTREL_ZIPCRC_TARGET inline __m128i FoldLane(__m128i lane, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x11), _mm_clmulepi64_si128(lane, k, 0x00)),
        next);
}

// The fold of "Fast CRC Computation for Generic Polynomials Using PCLMULQDQ" (Gopal et al.,
// Intel, 2009) for the bit-reflected zip polynomial: four 128-bit lanes folded 64 bytes at
// a time, then into one lane, then a Barrett reduction to 32 bits. `length` is at least 64
// and a multiple of 16; `crc` and the result are the inverted register, as in the paper.
VANTREL_ZIPCRC_TARGET std::uint32_t Fold(const unsigned char* data, std::size_t length,
                                         std::uint32_t crc)
{
    alignas(16) static const std::uint64_t k1k2[] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static const std::uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const std::uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const std::uint64_t poly[] = {0x01db710641, 0x01f7011641};
    __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = Load(data + 16);
    __m128i x3 = Load(data + 32);
    __m128i x4 = Load(data + 48);
    data += 64;
    length -= 64;
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    while (length >= 64) {
        x1 = FoldLane(x1, k, Load(data));
        x2 = FoldLane(x2, k, Load(data + 16));
        x3 = FoldLane(x3, k, Load(data + 32));
        x4 = FoldLane(x4, k, Load(data + 48));
        data += 64;
        length -= 64;
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = FoldLane(x1, k, x2);
    x1 = FoldLane(x1, k, x3);
    x1 = FoldLane(x1, k, x4);
    while (length >= 16) {
        x1 = FoldLane(x1, k, Load(data));
        data += 16;
        length -= 16;
    }

    // 128 bits to 64.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00), x2);

    // Barrett reduction to 32 bits.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2 = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x10), low32);
    x2 = _mm_clmulepi64_si128(x2, k, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool CanFold()
{
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return can;
}

#endif

} // namespace

std::uint32_t Update(std::uint32_t crc, const void* data, std::size_t length)
{
    auto bytes = static_cast<const unsigned char*>(data);
#ifdef VANTREL_ZIPCRC_FOLD
    if (length >= 64 && CanFold()) {
        const std::size_t folded = length & ~std::size_t{15};
        crc = ~Fold(bytes, folded, ~crc);
        bytes += folded;
        length -= folded;
    }
#endif
    return static_cast<std::uint32_t>(crc32_z(crc, bytes, length));
}

} // namespace vantrel::zipcrc
