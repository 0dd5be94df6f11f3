#include "netutil/updatechecks.h"
#include "tests/netutil/updateserverstub.h"
#include "tests/support/quiethub.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// Records what the checks hand over; an answer stops the periodic checks, as the hub's
// owner arranges in the program.
class RecordingHub : public test::QuietHub
{
public:
    void Take(hub::UM_PUBLIC_ADDRESS message) override { addresses.push_back(message.address); }
    void Take(hub::UM_UPDATE_ANSWERED) override
    {
        ++answers;
        if (checks)
            checks->Answered();
    }
    void Take(hub::UM_NEW_VERSION message) override { newVersion = message; }

    void Clear()
    {
        addresses.clear();
        answers = 0;
        newVersion.reset();
    }

    UpdateChecks* checks = nullptr;
    std::vector<QString> addresses;
    int answers = 0;
    std::optional<hub::UM_NEW_VERSION> newVersion;
};

bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Lets queued hand-overs arrive.
void Settle()
{
    SpinUntil([] { return false; }, 100ms);
}

// Names resolve only for the loopback probe: what a check decides from its probe must not
// hang on whether this machine's name files give 127.0.0.1 a name.
bool LoopbackProbe(ServerExchange&, const QString& address)
{
    return address == QStringLiteral("127.0.0.1");
}

class UpdateCheckTest : public ::testing::Test
{
protected:
    UpdateServer Server(const QString& probe = QStringLiteral("127.0.0.1")) const
    {
        return {QStringLiteral("127.0.0.1"), m_server.port(), probe};
    }
    UpdateChecks::Setup Setup(std::chrono::milliseconds period = 600000ms) const
    {
        UpdateChecks::Setup setup;
        setup.delay = 0ms;
        setup.period = period;
        setup.timeouts.connect = 2000ms;
        setup.timeouts.reply = 300ms;
        setup.probe = LoopbackProbe;
        return setup;
    }
    // One check, run to its end.
    void RunCheck(const UpdateServer& server)
    {
        UpdateCheck check(UpdateCheck::Kind::Check, server, &m_hub, 0ms, Setup().timeouts,
                          LoopbackProbe);
        check.Start();
        ASSERT_TRUE(SpinUntil([&] { return check.finished(); }));
        Settle();
    }

    test::UpdateServerStub m_server;
    RecordingHub m_hub;
};

TEST_F(UpdateCheckTest, SendsTheRequestWithLineFeedsOnly)
{
    m_server.SetReply("VNTVersion=1.2\nURL=http://a/\n");
    RunCheck(Server());
    EXPECT_EQ(m_server.lastRequest(),
              QByteArray("GET /bsmcgis/vntcheckupdate.cgi?language=EN HTTP/1.0\n"
                         "Connection: Keep-Alive\n"
                         "User-Agent: Brismoor (compatible; Bsm; Windows)\n"
                         "Host: 127.0.0.1:80\n\n"));
}

struct ReplyCase
{
    const char* name;
    QByteArray first;
    QByteArray later; // sent 150 ms after the first part
    std::vector<QString> addresses;
    bool answered;
    std::optional<double> newVersion;
};

TEST_F(UpdateCheckTest, RepliesOfTheServer)
{
    const QByteArray beyond = QByteArray(1000, 'x') + "VNTVersion=1.3 URL=http://d/ YourIP=1.1.1.1";
    const std::vector<ReplyCase> cases = {
        {"same version",
         "HTTP/1.0 200 OK\n\nVNTVersion=1.2\nURL=http://d/\nYourIP=10.1.2.3\n",
         {},
         {QStringLiteral("10.1.2.3")},
         true,
         std::nullopt},
        {"older version", "VNTVersion=1.1\nURL=http://d/\n", {}, {}, true, 1.1},
        {"newer version",
         "VNTVersion=1.3\r\nURL=http://d/\r\nYourIP= 10.0.0.9\r\n",
         {},
         {QStringLiteral("10.0.0.9")},
         true,
         1.3},
        {"no URL", "VNTVersion=1.3\nYourIP=10.1.2.3\n", {}, {}, false, std::nullopt},
        {"keys past 999 bytes", beyond, {}, {}, false, std::nullopt},
        {"keys after the first receive",
         "HTTP/1.0 200 OK\n\n",
         "VNTVersion=1.3\nURL=http://d/\nYourIP=10.1.2.3\n",
         {},
         false,
         std::nullopt},
        {"not HTTP",
         QByteArray("\x16\x03\x01\x00\xff\xfe garbage", 15),
         {},
         {},
         false,
         std::nullopt},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_hub.Clear();
        m_server.SetReply(c.first, c.later, 150ms);
        RunCheck(Server());
        EXPECT_EQ(m_hub.addresses, c.addresses);
        EXPECT_EQ(m_hub.answers, c.answered ? 1 : 0);
        EXPECT_EQ(m_hub.newVersion.has_value(), c.newVersion.has_value());
        if (m_hub.newVersion && c.newVersion)
            EXPECT_EQ(m_hub.newVersion->version, *c.newVersion);
    }
}

TEST_F(UpdateCheckTest, FeaturesLineFirstGivesTheDownloadAddressToo)
{
    m_server.SetReply("NewFeatURL=http://f/new.html\nVNTVersion=1.3\nURL=http://d/get\n");
    RunCheck(Server());
    ASSERT_TRUE(m_hub.newVersion);
    EXPECT_EQ(m_hub.newVersion->downloadUrl, QStringLiteral("http://f/new.html"));
    EXPECT_EQ(m_hub.newVersion->featuresUrl, QStringLiteral("http://f/new.html"));

    m_hub.Clear();
    m_server.SetReply("VNTVersion=1.3\nURL=http://d/get\n");
    RunCheck(Server());
    ASSERT_TRUE(m_hub.newVersion);
    EXPECT_EQ(m_hub.newVersion->downloadUrl, QStringLiteral("http://d/get"));
    EXPECT_TRUE(m_hub.newVersion->featuresUrl.isEmpty());
}

TEST_F(UpdateCheckTest, NoServerOrNoProbeSendsNothing)
{
    m_server.SetReply("VNTVersion=1.3\nURL=http://d/\n");
    RunCheck(UpdateServer{}); // the build's default: no server
    RunCheck(Server(QStringLiteral("not an address")));
    RunCheck(Server(QStringLiteral("192.0.2.1"))); // an address without a name here
    EXPECT_EQ(m_server.requests(), 0);
    EXPECT_EQ(m_hub.answers, 0);
}

TEST_F(UpdateCheckTest, ASilentServerEndsTheCheckAndAStopDoesNotWait)
{
    m_server.SetSilent();
    QElapsedTimer clock;
    clock.start();
    RunCheck(Server());
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(m_hub.answers, 0);

    // A long reply timeout: the stop cuts the wait short.
    ServerExchange::Timeouts patient{2000ms, 60000ms};
    UpdateCheck check(UpdateCheck::Kind::Check, Server(), &m_hub, 0ms, patient, LoopbackProbe);
    check.Start();
    ASSERT_TRUE(SpinUntil([&] { return m_server.requests() == 2; }));
    clock.restart();
    check.Stop();
    EXPECT_LT(clock.elapsed(), 2000);
    // And one still waiting before its request.
    UpdateCheck waiting(UpdateCheck::Kind::Check, Server(), &m_hub, 60000ms, patient,
                        LoopbackProbe);
    waiting.Start();
    clock.restart();
    waiting.Stop();
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(UpdateCheckTest, RetriesEveryPeriodUntilAnswered)
{
    m_server.SetReply("VNTVersion=1.2\n"); // no URL: not an answer
    UpdateChecks checks(Server(), &m_hub, Setup(100ms));
    m_hub.checks = &checks;
    EXPECT_EQ(checks.timer()->objectName(), QStringLiteral("CheckUpdateTimer"));
    checks.Start();
    ASSERT_TRUE(SpinUntil([&] { return m_server.requests() >= 3; }));
    EXPECT_TRUE(checks.timer()->isActive());
    EXPECT_EQ(m_hub.answers, 0);

    m_server.SetReply("VNTVersion=1.2\nURL=http://d/\n");
    ASSERT_TRUE(SpinUntil([&] { return m_hub.answers > 0; }));
    EXPECT_FALSE(checks.timer()->isActive());
    Settle();
    const int asked = m_server.requests();
    SpinUntil([] { return false; }, 400ms);
    EXPECT_EQ(m_server.requests(), asked);
}

TEST_F(UpdateCheckTest, FifteenMinutesBetweenChecksByDefault)
{
    UpdateChecks checks(UpdateServer{}, &m_hub);
    EXPECT_EQ(checks.timer()->interval(), 900000);
}

TEST_F(UpdateCheckTest, ReGetTakesOnlyTheAddress)
{
    UpdateChecks checks(Server(QStringLiteral("not an address")), &m_hub, Setup());
    // No probe, no other key needed; leading white space skipped.
    m_server.SetReply("YourIP= 192.168.7.7\n");
    checks.ReGetAddress();
    ASSERT_TRUE(SpinUntil([&] { return m_hub.addresses.size() == 1; }));
    EXPECT_EQ(m_hub.addresses.back(), QStringLiteral("192.168.7.7"));
    // Without the key: the empty text, which the list shows as "Unable to get Address".
    m_server.SetReply("VNTVersion=1.3\nURL=http://d/\n");
    checks.ReGetAddress();
    ASSERT_TRUE(SpinUntil([&] { return m_hub.addresses.size() == 2; }));
    EXPECT_TRUE(m_hub.addresses.back().isEmpty());
    EXPECT_EQ(m_hub.answers, 0);
    EXPECT_FALSE(m_hub.newVersion);
}

} // namespace
} // namespace vantrel
