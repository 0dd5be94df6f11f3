#include "net/linkliveness.h"

#include <atomic>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace vantrel {

namespace {

std::atomic<int> g_idleSeconds{LinkLiveness::Standard.idleSeconds};
std::atomic<int> g_intervalSeconds{LinkLiveness::Standard.intervalSeconds};
std::atomic<int> g_probes{LinkLiveness::Standard.probes};
std::atomic<int> g_userTimeoutMs{LinkLiveness::Standard.userTimeoutMs};

bool SetOption(int fd, int level, int name, int value)
{
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

} // namespace

bool LinkLiveness::Watch(int socketFd)
{
    const Figures figures = Current();
    bool ok = SetOption(socketFd, SOL_SOCKET, SO_KEEPALIVE, 1);
    ok = SetOption(socketFd, IPPROTO_TCP, TCP_KEEPIDLE, figures.idleSeconds) && ok;
    ok = SetOption(socketFd, IPPROTO_TCP, TCP_KEEPINTVL, figures.intervalSeconds) && ok;
    ok = SetOption(socketFd, IPPROTO_TCP, TCP_KEEPCNT, figures.probes) && ok;
    ok = SetOption(socketFd, IPPROTO_TCP, TCP_USER_TIMEOUT, figures.userTimeoutMs) && ok;
    return ok;
}

LinkLiveness::Figures LinkLiveness::Current()
{
    return {g_idleSeconds.load(), g_intervalSeconds.load(), g_probes.load(),
            g_userTimeoutMs.load()};
}

void LinkLiveness::Use(const Figures& figures)
{
    g_idleSeconds.store(figures.idleSeconds);
    g_intervalSeconds.store(figures.intervalSeconds);
    g_probes.store(figures.probes);
    g_userTimeoutMs.store(figures.userTimeoutMs);
}

} // namespace vantrel
