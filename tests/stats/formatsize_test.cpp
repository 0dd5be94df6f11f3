#include "stats/formatsize.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct SizeCase
{
    std::uint32_t bytes;
    const char* text;
};

TEST(FormatSize, WholeUnitsOnlyForExactMultiples)
{
    const SizeCase cases[] = {
        {0, "0 bytes"},          {1023, "1023 bytes"},        {1024, "1 Kb"},
        {1536, "1.50 Kb"},       {10752, "10.50 Kb"},         {1000000, "976.56 Kb"},
        {1048575, "1024.00 Kb"}, {1048576, "1 Mb"},           {1572864, "1.50 Mb"},
        {5 * 1048576, "5 Mb"},   {4294967295u, "4096.00 Mb"},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(FormatSize(c.bytes), QLatin1String(c.text)) << c.bytes;
}

TEST(FormatSizeFixed, TwoDecimalsAndStrictThresholds)
{
    const SizeCase cases[] = {
        {0, "0 bytes"},           {1024, "1024 bytes"},        {1025, "1.00 Kb"},
        {1536, "1.50 Kb"},        {1048576, "1024.00 Kb"},     {1048577, "1.00 Mb"},
        {5 * 1048576, "5.00 Mb"}, {4294967295u, "4096.00 Mb"},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(FormatSizeFixed(c.bytes), QLatin1String(c.text)) << c.bytes;
}

} // namespace
} // namespace vantrel
