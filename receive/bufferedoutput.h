#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>

namespace vantrel {

// The file a receive writes, with the blocks of the stream gathered into one large buffer
// so that the disk sees few large writes. The receive loop reads straight into the free
// space (Free / FreeBytes) and then counts what it placed there (Commit). Owned by the UI
// thread; used by the worker only while the worker runs.
class BufferedOutput
{
public:
    static constexpr int Capacity = 256 * 1024;

    BufferedOutput() = default;
    ~BufferedOutput();
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;

    // Creates the file, or truncates an existing one.
    bool Create(const QString& path);
    // Opens an existing file for update and continues at `position`; anything beyond it is
    // cut off. False when the file is missing or shorter than `position`.
    bool OpenAt(const QString& path, std::uint64_t position);
    bool IsOpen() const { return m_file.isOpen(); }

    char* Free() { return m_buffer.get() + m_used; }
    int FreeBytes() const { return Capacity - m_used; }
    // Counts `n` bytes just placed at Free(); a full buffer goes to the file. False once
    // any write has failed.
    bool Commit(int n);
    // Everything buffered goes to the file. False once any write has failed.
    bool Flush();
    // The bytes of the file on disk so far (what the buffer holds not counted).
    std::uint64_t onDisk() const
    {
        return m_file.isOpen() ? static_cast<std::uint64_t>(m_file.pos()) : 0;
    }
    // Flushes and closes. False when anything failed to reach the file. Idempotent.
    bool Close();

    // The failure text of the file, for a status line.
    QString errorText() const { return m_errorText; }

private:
    bool Prepare();

    QFile m_file;
    std::unique_ptr<char[]> m_buffer;
    int m_used = 0;
    bool m_failed = false;
    QString m_errorText;
};

} // namespace vantrel
