#include "receive/bufferedoutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantrel {

BufferedOutput::~BufferedOutput()
{
    Close();
}

bool BufferedOutput::Prepare()
{
    Close();
    m_used = 0;
    m_failed = false;
    m_errorText.clear();
    // One buffer for the whole transfer, kept across a reopen.
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(Capacity);
    return true;
}

bool BufferedOutput::Create(const QString& path)
{
    Prepare();
    m_file.setFileName(path);
    // Only a file that holds something is truncated. Truncating a file to nothing makes ext4
    // write all of it out when it is closed (its guard for files replaced by truncation):
    // the empty temporary archive made just before would otherwise cost, at the end of the
    // stream, a close that waits for the whole archive to be allocated, writeback that slows
    // the copy of its file, and a slow removal, for a file that is deleted right after.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || (st.st_size > 0 && ::ftruncate(fd, 0) != 0)) {
        m_errorText = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (!m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                     QFileDevice::AutoCloseHandle)) {
        m_errorText = m_file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

bool BufferedOutput::OpenAt(const QString& path, std::uint64_t position)
{
    Prepare();
    m_file.setFileName(path);
    // ReadWrite keeps the bytes already held; WriteOnly alone would truncate them.
    if (!m_file.exists() ||
        !m_file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered)) {
        m_errorText = m_file.errorString();
        return false;
    }
    const auto where = static_cast<qint64>(position);
    if (m_file.size() < where || !m_file.resize(where) || !m_file.seek(where)) {
        m_errorText = m_file.errorString();
        m_file.close();
        return false;
    }
    return true;
}

bool BufferedOutput::Commit(int n)
{
    m_used += n;
    if (m_used < Capacity)
        return !m_failed;
    return Flush();
}

bool BufferedOutput::Flush()
{
    if (m_failed)
        return false;
    if (m_used == 0)
        return true;
    if (!m_file.isOpen() || m_file.write(m_buffer.get(), m_used) != m_used) {
        m_failed = true;
        m_errorText = m_file.errorString();
        return false;
    }
    m_used = 0;
    return true;
}

bool BufferedOutput::Close()
{
    if (!m_file.isOpen())
        return !m_failed;
    const bool flushed = Flush();
    m_file.close();
    if (m_file.error() != QFileDevice::NoError && !m_failed) {
        m_failed = true;
        m_errorText = m_file.errorString();
    }
    m_used = 0;
    return flushed && !m_failed;
}

} // namespace vantrel
