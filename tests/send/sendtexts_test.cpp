#include "send/sendtexts.h"

#include <gtest/gtest.h>

namespace vantrel {

TEST(SendTexts, SizesBeyondThirtyTwoBits)
{
    EXPECT_EQ(sendtexts::LargeSize(std::uint64_t{1} << 32), QStringLiteral("4096.00 Mb"));
}

} // namespace vantrel
