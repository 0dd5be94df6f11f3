#pragma once

#include <QString>

#include <cstdint>

struct ZipBridgeStoredStream;

namespace vantrel {

class ZipBridgeLoader;

// A single file's archive that holds it stored, read from the component as it is produced
// instead of from a written file.
class StoredArchiveReader
{
public:
    explicit StoredArchiveReader(const ZipBridgeLoader* zip) : m_zip(zip) {}
    ~StoredArchiveReader();
    StoredArchiveReader(const StoredArchiveReader&) = delete;
    StoredArchiveReader& operator=(const StoredArchiveReader&) = delete;

    enum class Opened
    {
        Streamed,  // size() is the archive's size
        Deflated,  // the archive must be written
        Unreadable // the file cannot be read
    };
    Opened Open(const QString& filePath);
    std::uint64_t size() const { return m_size; }
    // Up to `length` bytes at `offset`; -1 when the file cannot be read or changed its size.
    std::int64_t Read(std::uint64_t offset, char* buffer, std::uint32_t length);

private:
    const ZipBridgeLoader* m_zip;
    ZipBridgeStoredStream* m_stream = nullptr;
    std::uint64_t m_size = 0;
};

} // namespace vantrel
