#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The archive file, written front to back through a buffer of 1 MiB.
class ZipOutput
{
public:
    ZipOutput() = default;
    ~ZipOutput();
    ZipOutput(const ZipOutput&) = delete;
    ZipOutput& operator=(const ZipOutput&) = delete;

    // Creates or truncates the file.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    bool Write(const unsigned char* data, std::size_t length);
    bool Write(const std::vector<unsigned char>& bytes)
    {
        return Write(bytes.data(), bytes.size());
    }
    // Writes what is buffered and closes the file; false when either fails.
    bool Close();
    // Closes the file without writing what is still buffered.
    void Discard();

    // Bytes written so far, buffered ones included.
    std::uint64_t Position() const { return m_position; }
    // The error of the write that failed, 0 if none did.
    int WriteErrno() const { return m_writeErrno; }

private:
    bool Flush();
    bool WriteThrough(const unsigned char* data, std::size_t length);

    int m_fd = -1;
    std::vector<unsigned char> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_position = 0;
    int m_writeErrno = 0;
};

} // namespace vantrel
