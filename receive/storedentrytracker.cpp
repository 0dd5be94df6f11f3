#include "receive/storedentrytracker.h"

#include "core/base/zipcrc.h"
#include "core/base/ziprecords.h"
#include "receive/zipfields.h"

#include <algorithm>

namespace vantrel {

namespace {

constexpr std::uint16_t StoredMethod = 0;

} // namespace

void StoredEntryTracker::Feed(const char* data, std::size_t length)
{
    while (length > 0) {
        switch (m_stage) {
        case Stage::FixedHeader:
        case Stage::NameAndExtra: {
            const std::size_t take = std::min(length, m_headerBytes - m_header.size());
            m_header.append(data, take);
            data += take;
            length -= take;
            m_consumed += take;
            if (m_header.size() < m_headerBytes)
                return;
            if (m_stage == Stage::FixedHeader)
                ReadFixedHeader();
            else
                ReadNameAndExtra();
            break;
        }
        case Stage::Data: {
            const std::size_t take = std::min<std::size_t>(length, m_dataLeft);
            m_crc = zipcrc::Update(m_crc, data, take);
            data += take;
            length -= take;
            m_consumed += take;
            m_dataLeft -= static_cast<std::uint32_t>(take);
            if (m_dataLeft == 0)
                m_stage = Stage::Done;
            break;
        }
        case Stage::Done:
        case Stage::GaveUp:
            return;
        }
    }
}

void StoredEntryTracker::ReadFixedHeader()
{
    const auto* p = reinterpret_cast<const unsigned char*>(m_header.data());
    m_flags = zipfields::U16(p + 6);
    const std::uint16_t method = zipfields::U16(p + 8);
    m_localCrc = zipfields::U32(p + 14);
    const std::uint32_t compressed = zipfields::U32(p + 18);
    const std::uint32_t size = zipfields::U32(p + 22);
    m_nameLength = zipfields::U16(p + 26);
    const std::uint16_t extraLength = zipfields::U16(p + 28);
    // Zip64 marks its sizes 0xFFFFFFFF here: those never take this path.
    if (zipfields::U32(p) != ziprecords::LocalSignature || method != StoredMethod ||
        (m_flags & ziprecords::EncryptedFlag) != 0 || compressed != size || size == 0xFFFFFFFFu ||
        m_nameLength == 0) {
        GiveUp();
        return;
    }
    m_size = size;
    m_headerBytes = ziprecords::LocalSize + m_nameLength + extraLength;
    m_stage = Stage::NameAndExtra;
    if (m_header.size() >= m_headerBytes)
        ReadNameAndExtra();
}

void StoredEntryTracker::ReadNameAndExtra()
{
    m_name = m_header.substr(ziprecords::LocalSize, m_nameLength);
    const auto* extra = reinterpret_cast<const unsigned char*>(m_header.data()) +
                        ziprecords::LocalSize + m_nameLength;
    const std::size_t extraLength = m_headerBytes - ziprecords::LocalSize - m_nameLength;
    const std::optional<zipfields::ExtraTimes> times =
        zipfields::ReadExtra(extra, extraLength, /*local=*/true);
    if (!times) {
        GiveUp();
        return;
    }
    m_mtime = times->mtime;
    m_atime = times->atime;
    m_dataOffset = m_headerBytes;
    m_header.clear();
    m_header.shrink_to_fit();
    m_crc = 0;
    m_dataLeft = m_size;
    m_stage = m_size == 0 ? Stage::Done : Stage::Data;
}

void StoredEntryTracker::GiveUp()
{
    m_stage = Stage::GaveUp;
    m_header.clear();
    m_header.shrink_to_fit();
}

} // namespace vantrel
