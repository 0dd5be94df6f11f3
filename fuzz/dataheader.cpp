// The header in front of the data stream, as the receiving worker reads it.
#include "scratchfolder.h"

#include "net/wirerecords.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Whole records only, as the reader collects them: shorter inputs are padded with zeros.
    std::array<std::uint8_t, DataHeader::Size> record{};
    std::memcpy(record.data(), data, std::min(size, record.size()));
    const DataHeader header = DataHeader::Decode(record.data());
    (void)header.IsRaw();
    // Every bit of the header is a number: writing it again gives the same bytes.
    const std::array<std::uint8_t, DataHeader::Size> image = header.Encode();
    if (std::memcmp(image.data(), record.data(), DataHeader::Size) != 0)
        fuzz::Fail("a data header changed on its way through");
    return 0;
}
