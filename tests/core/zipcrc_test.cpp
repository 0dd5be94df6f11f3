#include "core/base/zipcrc.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

namespace vantrel {
namespace {

// zlib's crc32 is the reference: every length around the 16- and 64-byte steps of the fold,
// fed whole and in two parts split anywhere, from any alignment.
TEST(ZipCrc, GivesZlibsSumForEveryLengthSplitAndAlignment)
{
    std::vector<unsigned char> data(70000);
    std::mt19937 random(11);
    for (unsigned char& byte : data)
        byte = static_cast<unsigned char>(random());
    const std::size_t lengths[] = {0,  1,   15,  16,  17,  63,   64,   65,    79,
                                   80, 127, 128, 129, 191, 1000, 4096, 65536, 69000};
    int mismatches = 0;
    for (const std::size_t length : lengths) {
        for (const std::size_t start : {0, 1, 7}) {
            const unsigned char* bytes = data.data() + start;
            const auto expected = static_cast<std::uint32_t>(crc32_z(0, bytes, length));
            for (const std::size_t split :
                 {std::size_t{0}, std::size_t{1}, std::size_t{64}, length / 3, length}) {
                if (split > length)
                    continue;
                const std::uint32_t got =
                    zipcrc::Update(zipcrc::Update(0, bytes, split), bytes + split, length - split);
                if (got != expected && ++mismatches < 5)
                    ADD_FAILURE() << "length " << length << " start " << start << " split "
                                  << split;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    // Runs of equal bytes, where a fold that drops a lane would still look right on noise.
    const std::vector<unsigned char> zeros(4096, 0), ones(4096, 0xFF);
    EXPECT_EQ(zipcrc::Update(0, zeros.data(), zeros.size()),
              static_cast<std::uint32_t>(crc32_z(0, zeros.data(), zeros.size())));
    EXPECT_EQ(zipcrc::Update(0, ones.data(), ones.size()),
              static_cast<std::uint32_t>(crc32_z(0, ones.data(), ones.size())));
    EXPECT_EQ(zipcrc::Update(0, "123456789", 9), 0xCBF43926u); // the catalogue's check value
}

} // namespace
} // namespace vantrel
