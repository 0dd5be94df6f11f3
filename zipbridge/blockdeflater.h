#pragma once

#include <zlib.h>

#include <cstddef>
#include <vector>

namespace vantrel {

// One raw deflate stream at level 1 (window 32 KiB, memLevel 8, default strategy, the settings
// the archives have always used), kept for reuse: each call starts afresh, so what comes out
// depends on the call's input alone, never on what the stream did before. Not thread-safe;
// one per thread.
class BlockDeflater
{
public:
    BlockDeflater();
    ~BlockDeflater();
    BlockDeflater(const BlockDeflater&) = delete;
    BlockDeflater& operator=(const BlockDeflater&) = delete;

    // `data` as one complete deflate stream into `out` (replaced).
    bool Whole(const unsigned char* data, std::size_t length, std::vector<unsigned char>& out);

    // One block of a stream cut into independent blocks: primed with `dictionary` (the input
    // just before the block; empty for the first), ended with a sync flush so that the next
    // block's output can follow byte-aligned, or finished when it is the last. The blocks'
    // outputs in order form one valid deflate stream of the whole input.
    bool Block(const unsigned char* dictionary, std::size_t dictionaryLength,
               const unsigned char* data, std::size_t length, bool last,
               std::vector<unsigned char>& out);

private:
    bool Run(const unsigned char* data, std::size_t length, int flush,
             std::vector<unsigned char>& out);

    z_stream m_stream{};
    bool m_ready = false;
};

} // namespace vantrel
