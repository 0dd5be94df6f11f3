#pragma once

#include "core/base/ziprecords.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vantrel {

// Follows the start of a single-file archive as its bytes arrive: reads the first local
// header and, when the entry is stored with its sizes in that header, computes the CRC of
// its data on the way past, so that the file can later be cut out of the archive without
// reading it again. Anything else makes the tracker give up (Usable() turns false) and the
// archive goes through the ordinary extraction. Trusts nothing: the central directory is
// checked against what was seen here before any of it is used.
class StoredEntryTracker
{
public:
    // Bytes of the stream, in order, from its first byte.
    void Feed(const char* data, std::size_t length);

    // Still a stored entry whose data can be cut out of the archive as seen so far.
    bool Usable() const { return m_stage != Stage::GaveUp; }
    // The data has passed whole (its CRC is known).
    bool Complete() const { return m_stage == Stage::Done; }
    // Bytes of the stream fed so far, capped at the end of the entry's data.
    std::uint64_t consumed() const { return m_consumed; }

    // Meaningful once Complete().
    std::uint16_t flags() const { return m_flags; }
    std::uint32_t localCrc() const { return m_localCrc; }
    std::uint32_t crc() const { return m_crc; }
    std::uint64_t dataOffset() const { return m_dataOffset; }
    std::uint32_t size() const { return m_size; }
    const std::string& name() const { return m_name; }
    // The times of the local header's extended timestamp, when it has them.
    std::optional<std::uint32_t> mtime() const { return m_mtime; }
    std::optional<std::uint32_t> atime() const { return m_atime; }

private:
    enum class Stage
    {
        FixedHeader,
        NameAndExtra,
        Data,
        Done,
        GaveUp
    };

    void ReadFixedHeader();
    void ReadNameAndExtra();
    void GiveUp();

    Stage m_stage = Stage::FixedHeader;
    std::string m_header; // the local header as it gathers
    std::size_t m_headerBytes = ziprecords::LocalSize;
    std::uint64_t m_consumed = 0;
    std::uint16_t m_flags = 0;
    std::uint32_t m_localCrc = 0;
    std::uint32_t m_crc = 0;
    std::uint32_t m_size = 0;
    std::uint32_t m_dataLeft = 0;
    std::uint64_t m_dataOffset = 0;
    std::uint16_t m_nameLength = 0;
    std::string m_name;
    std::optional<std::uint32_t> m_mtime;
    std::optional<std::uint32_t> m_atime;
};

} // namespace vantrel
