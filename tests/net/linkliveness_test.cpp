// Every session, accepted or connected, is watched for a peer that vanishes without a word.
#include "net/linkliveness.h"

#include "tests/net/loopback.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace vantrel::test {
namespace {

namespace tc = testcertificates;

int Option(const TlsSession& session, int level, int name)
{
    int value = -1;
    socklen_t length = sizeof value;
    if (::getsockopt(session.SocketDescriptor(), level, name, &value, &length) != 0)
        return -1;
    return value;
}

// What the kernel holds for the socket, in the order of the figures.
LinkLiveness::Figures Watched(const TlsSession& session)
{
    return {Option(session, IPPROTO_TCP, TCP_KEEPIDLE), Option(session, IPPROTO_TCP, TCP_KEEPINTVL),
            Option(session, IPPROTO_TCP, TCP_KEEPCNT),
            Option(session, IPPROTO_TCP, TCP_USER_TIMEOUT)};
}

void ExpectFigures(const TlsSession& session, const LinkLiveness::Figures& expected)
{
    EXPECT_EQ(Option(session, SOL_SOCKET, SO_KEEPALIVE), 1);
    const LinkLiveness::Figures actual = Watched(session);
    EXPECT_EQ(actual.idleSeconds, expected.idleSeconds);
    EXPECT_EQ(actual.intervalSeconds, expected.intervalSeconds);
    EXPECT_EQ(actual.probes, expected.probes);
    EXPECT_EQ(actual.userTimeoutMs, expected.userTimeoutMs);
}

// Puts the standard figures back whatever a test did.
struct StandardFiguresAfterwards
{
    ~StandardFiguresAfterwards() { LinkLiveness::Use(LinkLiveness::Standard); }
};

TEST(LinkLiveness, BothEndsOfASessionAreWatchedWithTheCurrentFigures)
{
    StandardFiguresAfterwards restore;
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    const LinkLiveness::Figures shorter{2, 1, 3, 4000};
    for (const LinkLiveness::Figures& figures : {LinkLiveness::Standard, shorter}) {
        SCOPED_TRACE(figures.userTimeoutMs);
        LinkLiveness::Use(figures);
        SessionPair pair = ConnectPair(folder.path());
        ASSERT_TRUE(pair.client);
        {
            SCOPED_TRACE("connected");
            ExpectFigures(*pair.client, figures);
        }
        {
            SCOPED_TRACE("accepted");
            ExpectFigures(*pair.server, figures);
        }
    }
}

} // namespace
} // namespace vantrel::test
