#include "bench/transfer/benchdata.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace vantrel::bench {

namespace {

constexpr std::size_t BufferBytes = 4 << 20;

// xorshift64*: plenty for test data, a few GB/s.
class Generator
{
public:
    explicit Generator(std::uint64_t seed) : m_state(seed * 2654435761u + 0x9E3779B97F4A7C15ull) {}
    std::uint64_t Next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Dull;
    }
    std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }
    void Fill(char* out, std::size_t bytes)
    {
        std::size_t i = 0;
        for (; i + 8 <= bytes; i += 8) {
            const std::uint64_t v = Next();
            std::memcpy(out + i, &v, 8);
        }
        for (; i < bytes; ++i)
            out[i] = static_cast<char>(Next());
    }

private:
    std::uint64_t m_state;
};

bool WriteAll(int fd, const char* data, std::size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = ::write(fd, data, bytes);
        if (n <= 0)
            return false;
        data += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

int CreateFile(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                  0644);
}

const char* const Levels[] = {"INFO ", "INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"};
const char* const Verbs[] = {"sent", "received", "queued", "resumed", "dropped"};

// Appends log lines to `out` until it holds `bytes`.
void AppendLog(std::vector<char>& out, std::size_t bytes, Generator& random, std::uint64_t& line)
{
    char text[256];
    while (out.size() < bytes) {
        const std::uint64_t r = random.Next();
        const int n = std::snprintf(
            text, sizeof text,
            "2026-12-10T%02u:%02u:%02u.%03uZ %s [worker-%u] session %08x: %s %u bytes to "
            "10.0.%u.%u:12666 in %u ms (line %llu, status=%s)\n",
            unsigned(line / 3600000 % 24), unsigned(line / 60000 % 60), unsigned(line / 1000 % 60),
            unsigned(line % 1000), Levels[r % 6], unsigned(r >> 8 & 7),
            unsigned(r >> 16 & 0xFFFF) * 40503u, Verbs[(r >> 11) % 5], unsigned(r >> 24 & 0xFFFF),
            unsigned(r >> 40 & 3), unsigned(r >> 42 & 255), unsigned(r >> 50 & 511),
            static_cast<unsigned long long>(line), (r >> 60) == 0 ? "retry" : "ok");
        out.insert(out.end(), text, text + n);
        ++line;
    }
    out.resize(bytes);
}

} // namespace

bool WriteRandomFile(const QString& path, std::uint64_t bytes, std::uint64_t seed)
{
    const int fd = CreateFile(path);
    if (fd < 0)
        return false;
    Generator random(seed);
    std::vector<char> buffer(BufferBytes);
    bool ok = true;
    for (std::uint64_t left = bytes; ok && left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, BufferBytes));
        random.Fill(buffer.data(), n);
        ok = WriteAll(fd, buffer.data(), n);
        left -= n;
    }
    return ::close(fd) == 0 && ok;
}

bool WriteLogFile(const QString& path, std::uint64_t bytes, std::uint64_t seed)
{
    const int fd = CreateFile(path);
    if (fd < 0)
        return false;
    Generator random(seed);
    std::vector<char> buffer;
    buffer.reserve(BufferBytes + 256);
    std::uint64_t line = 0;
    bool ok = true;
    for (std::uint64_t left = bytes; ok && left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, BufferBytes));
        buffer.clear();
        AppendLog(buffer, n, random, line);
        ok = WriteAll(fd, buffer.data(), n);
        left -= n;
    }
    return ::close(fd) == 0 && ok;
}

TreeFigures WriteTree(const QString& root, int files, std::uint64_t bytes, std::uint64_t seed)
{
    // 2% of the files are large (64 KiB to 512 KiB, 288 KiB on average); the rest share what
    // is left of the total evenly on average.
    const int large = std::max(1, files / 50);
    const std::uint64_t largeBytes = std::uint64_t(large) * 288 * 1024;
    const std::uint64_t smallAverage =
        bytes > largeBytes ? (bytes - largeBytes) / std::uint64_t(std::max(1, files - large))
                           : 1024;

    Generator random(seed);
    TreeFigures figures;
    std::vector<char> buffer;
    std::uint64_t line = 0;
    QString folder;
    for (int i = 0; i < files; ++i) {
        if (i % 50 == 0) {
            folder = root + QStringLiteral("/proj%1/mod%2")
                                .arg(i / 1000, 2, 10, QLatin1Char('0'))
                                .arg(i / 50 % 20, 2, 10, QLatin1Char('0'));
            if (!QDir().mkpath(folder))
                return figures;
            figures.folders += (i % 1000 == 0) ? 2 : 1;
        }
        const bool isLarge = i % (files / large) == 7;
        const std::size_t size = static_cast<std::size_t>(
            isLarge ? 64 * 1024 + random.Below(448 * 1024) : random.Below(2 * smallAverage + 1));
        const bool text = random.Below(10) < 6;
        buffer.clear();
        if (text) {
            AppendLog(buffer, size, random, line);
        } else {
            buffer.resize(size);
            random.Fill(buffer.data(), size);
        }
        const QString name = QStringLiteral("%1/file%2.%3")
                                 .arg(folder)
                                 .arg(i % 50, 3, 10, QLatin1Char('0'))
                                 .arg(text ? QStringLiteral("log") : QStringLiteral("bin"));
        const int fd = CreateFile(name);
        if (fd < 0 || !WriteAll(fd, buffer.data(), buffer.size())) {
            if (fd >= 0)
                ::close(fd);
            return figures;
        }
        ::close(fd);
        figures.bytes += size;
        ++figures.files;
    }
    ++figures.folders; // the root
    return figures;
}

std::int64_t MonotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t ProcessCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

namespace {
std::int64_t Ns(const timeval& t)
{
    return std::int64_t(t.tv_sec) * 1000000000 + std::int64_t(t.tv_usec) * 1000;
}
} // namespace

std::int64_t UserCpuNs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Ns(usage.ru_utime);
}

std::int64_t SystemCpuNs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Ns(usage.ru_stime);
}

long PeakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

std::uint64_t FreeBytes(const QString& path)
{
    struct statvfs figures
    {
    };
    if (::statvfs(QFile::encodeName(path).constData(), &figures) != 0)
        return 0;
    return std::uint64_t(figures.f_bavail) * figures.f_frsize;
}

} // namespace vantrel::bench
