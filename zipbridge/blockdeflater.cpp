#include "zipbridge/blockdeflater.h"

namespace vantrel {

namespace {

// What a sync flush or the end adds beyond deflateBound, with room to spare.
constexpr std::size_t kFlushMargin = 64;

} // namespace

BlockDeflater::BlockDeflater()
{
    m_ready = deflateInit2(&m_stream, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

BlockDeflater::~BlockDeflater()
{
    if (m_ready)
        deflateEnd(&m_stream);
}

bool BlockDeflater::Whole(const unsigned char* data, std::size_t length,
                          std::vector<unsigned char>& out)
{
    return m_ready && deflateReset(&m_stream) == Z_OK && Run(data, length, Z_FINISH, out);
}

bool BlockDeflater::Block(const unsigned char* dictionary, std::size_t dictionaryLength,
                          const unsigned char* data, std::size_t length, bool last,
                          std::vector<unsigned char>& out)
{
    if (!m_ready || deflateReset(&m_stream) != Z_OK)
        return false;
    if (dictionaryLength > 0 &&
        deflateSetDictionary(&m_stream, dictionary, static_cast<uInt>(dictionaryLength)) != Z_OK)
        return false;
    return Run(data, length, last ? Z_FINISH : Z_SYNC_FLUSH, out);
}

bool BlockDeflater::Run(const unsigned char* data, std::size_t length, int flush,
                        std::vector<unsigned char>& out)
{
    out.resize(deflateBound(&m_stream, static_cast<uLong>(length)) + kFlushMargin);
    m_stream.next_in = const_cast<unsigned char*>(data);
    m_stream.avail_in = static_cast<uInt>(length);
    std::size_t produced = 0;
    for (;;) {
        m_stream.next_out = out.data() + produced;
        m_stream.avail_out = static_cast<uInt>(out.size() - produced);
        const int rc = deflate(&m_stream, flush);
        produced = out.size() - m_stream.avail_out;
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return false;
        if (m_stream.avail_out == 0) {
            out.resize(out.size() + 64 * 1024);
            continue;
        }
        // A sync flush is complete once it leaves output space unused; a finish is not
        // complete before its end.
        if (flush == Z_SYNC_FLUSH && m_stream.avail_in == 0)
            break;
        return false;
    }
    out.resize(produced);
    return true;
}

} // namespace vantrel
