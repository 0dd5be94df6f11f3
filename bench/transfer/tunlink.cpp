#include "bench/transfer/tunlink.h"

#include <QCoreApplication>
#include <QProcess>

#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <deque>
#include <vector>

namespace vantrel::bench {

namespace {

constexpr std::size_t QueueLimit = 10000;
constexpr std::size_t PacketBytes = 65536;

long long NowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Packet
{
    long long due;
    std::vector<char> bytes;
};

// One direction: packets in flight and when the wire is free again.
struct Direction
{
    int from;
    int to;
    std::deque<Packet> queue;
    long long wireFree = 0;
};

bool Run(const QStringList& command, QString& error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.front(), command.mid(1));
    if (process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    error = command.join(QLatin1Char(' ')) + QStringLiteral(": ") +
            QString::fromLocal8Bit(process.readAll()).trimmed();
    return false;
}

} // namespace

TunLink::TunLink(const QString& nearNamespace, const QString& farNamespace,
                 double rateBitsPerSecond, int delayMs)
    : m_nsPerByte(8e9 / rateBitsPerSecond), m_delayNs(static_cast<long long>(delayMs) * 1000000)
{
    const QString stem = QStringLiteral("vnt%1").arg(QCoreApplication::applicationPid());
    const QString nearDevice = stem + QStringLiteral("tn");
    const QString farDevice = stem + QStringLiteral("tf");
    m_near = OpenDevice(nearDevice);
    m_far = m_near >= 0 ? OpenDevice(farDevice) : -1;
    if (m_near < 0 || m_far < 0)
        return;
    if (!Place(nearDevice, nearNamespace, NearAddress, FarAddress) ||
        !Place(farDevice, farNamespace, FarAddress, NearAddress))
        return;
    m_thread = std::thread([this] { Relay(); });
    m_ok = true;
}

TunLink::~TunLink()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_near, m_far}) {
        if (fd >= 0)
            ::close(fd);
    }
}

int TunLink::OpenDevice(const QString& name)
{
    const int fd = ::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_error = QStringLiteral("cannot open /dev/net/tun: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, name.toLatin1().constData(), IFNAMSIZ - 1);
    if (::ioctl(fd, TUNSETIFF, &request) < 0) {
        m_error = QStringLiteral("cannot make TUN device %1: %2")
                      .arg(name, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return -1;
    }
    return fd;
}

bool TunLink::Place(const QString& device, const QString& space, const char* address,
                    const char* peer)
{
    const QString ip = QStringLiteral("ip");
    return Run({ip, QStringLiteral("link"), QStringLiteral("set"), device, QStringLiteral("netns"),
                space},
               m_error) &&
           Run({ip, QStringLiteral("-n"), space, QStringLiteral("addr"), QStringLiteral("add"),
                QString::fromLatin1(address), QStringLiteral("peer"), QString::fromLatin1(peer),
                QStringLiteral("dev"), device},
               m_error) &&
           Run({ip, QStringLiteral("-n"), space, QStringLiteral("link"), QStringLiteral("set"),
                device, QStringLiteral("up")},
               m_error);
}

void TunLink::Relay()
{
    Direction directions[2] = {{m_near, m_far, {}, 0}, {m_far, m_near, {}, 0}};
    std::vector<char> buffer(PacketBytes);
    while (!m_stop) {
        long long wait = 50000000; // the stop flag is looked at this often
        const long long now = NowNs();
        for (const Direction& d : directions) {
            if (!d.queue.empty())
                wait = std::min(wait, std::max(0LL, d.queue.front().due - now));
        }
        pollfd fds[2] = {{m_near, POLLIN, 0}, {m_far, POLLIN, 0}};
        const timespec timeout{static_cast<time_t>(wait / 1000000000),
                               static_cast<long>(wait % 1000000000)};
        ::ppoll(fds, 2, &timeout, nullptr);
        for (Direction& d : directions) {
            for (ssize_t n; (n = ::read(d.from, buffer.data(), buffer.size())) > 0;) {
                if (d.queue.size() >= QueueLimit)
                    continue;
                const long long arrived = NowNs();
                d.wireFree =
                    std::max(d.wireFree, arrived) + static_cast<long long>(double(n) * m_nsPerByte);
                d.queue.push_back({d.wireFree + m_delayNs, {buffer.data(), buffer.data() + n}});
            }
            const long long at = NowNs();
            while (!d.queue.empty() && d.queue.front().due <= at) {
                const std::vector<char>& bytes = d.queue.front().bytes;
                // A full device drops the packet, as a full link would.
                [[maybe_unused]] const ssize_t written = ::write(d.to, bytes.data(), bytes.size());
                d.queue.pop_front();
            }
        }
    }
}

} // namespace vantrel::bench
