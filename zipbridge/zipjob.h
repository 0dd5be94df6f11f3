#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel {

// One piece of work for the compression threads: a whole small file, or one block of a large
// one. The reading thread fills the input and reads the results once the pool says it is done;
// a compression thread touches it only in between.
struct ZipJob
{
    enum class Kind
    {
        WholeFile, // decide between storing and deflating, then deflate if it pays
        Block,     // one block of a large file that is deflated
        Checksum,  // one block of a large file that is stored: its checksum only
    };

    Kind kind = Kind::WholeFile;
    // The dictionary (the input just before the block, Block only) followed by the data.
    std::vector<unsigned char> input;
    std::size_t dictionaryLength = 0;
    bool last = false; // the file's last block

    std::vector<unsigned char> output; // the deflated data; empty when stored
    std::uint32_t crc = 0;             // of the data
    bool store = false;                // WholeFile: the decision
    bool failed = false;
    bool skipped = false; // not run: the operation was cancelled or stopped
    bool done = false;    // guarded by the pool

    const unsigned char* Data() const { return input.data() + dictionaryLength; }
    std::size_t DataLength() const { return input.size() - dictionaryLength; }
};

} // namespace vantrel
