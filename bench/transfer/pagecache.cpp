#include "bench/transfer/pagecache.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace vantrel::bench {

namespace {

constexpr std::int64_t SettledKb = 4 * 1024;

// Dirty plus Writeback from /proc/meminfo, KiB; -1 when unknown.
std::int64_t UnwrittenKb()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return -1;
    std::int64_t total = 0;
    for (const QByteArray& line : meminfo.readAll().split('\n')) {
        if (line.startsWith("Dirty:") || line.startsWith("Writeback:"))
            total += line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return total;
}

std::uint64_t ReadFile(const QString& path, std::vector<char>& buffer)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::uint64_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
        total += std::uint64_t(n);
    ::close(fd);
    return total;
}

} // namespace

std::int64_t PageCache::SettleWriteback(int timeoutMs)
{
    ::sync();
    std::int64_t left = UnwrittenKb();
    for (int waited = 0; left > SettledKb && waited < timeoutMs; waited += 100) {
        QThread::msleep(100);
        ::sync();
        left = UnwrittenKb();
    }
    return left;
}

std::uint64_t PageCache::ReadBack(const QString& path)
{
    std::vector<char> buffer(1 << 20);
    if (!QFileInfo(path).isDir())
        return ReadFile(path, buffer);
    std::uint64_t total = 0;
    QDirIterator files(path, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        total += ReadFile(files.next(), buffer);
    return total;
}

} // namespace vantrel::bench
