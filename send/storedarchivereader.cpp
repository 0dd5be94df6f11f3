#include "send/storedarchivereader.h"

#include "send/zipbridgeloader.h"
#include "zipbridge/zipbridge.h"

#include <QFile>

namespace vantrel {

StoredArchiveReader::~StoredArchiveReader()
{
    if (m_zip)
        m_zip->CloseStoredStream(m_stream);
}

StoredArchiveReader::Opened StoredArchiveReader::Open(const QString& filePath)
{
    if (!m_zip || !m_zip->CanStreamStored())
        return Opened::Deflated;
    m_zip->CloseStoredStream(m_stream);
    m_stream = nullptr;
    m_size = 0;
    const QByteArray path = QFile::encodeName(filePath);
    if (m_zip->OpenStoredStream(path.constData(), &m_stream, &m_size) != ZB_OK)
        return Opened::Unreadable;
    return m_stream ? Opened::Streamed : Opened::Deflated;
}

std::int64_t StoredArchiveReader::Read(std::uint64_t offset, char* buffer, std::uint32_t length)
{
    std::uint32_t got = 0;
    if (!m_stream || m_zip->ReadStoredStream(m_stream, offset, buffer, length, &got) != ZB_OK)
        return -1;
    return got;
}

} // namespace vantrel
