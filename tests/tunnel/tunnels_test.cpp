// Receive tunnels between two complete copies over loopback TLS: Bob (the receiver, as if
// behind a firewall) opens tunnels to Alice (the sender), who sends through them.
#include "core/transferhub.h"
#include "net/linkliveness.h"
#include "send/recenthosts.h"
#include "tests/engine/rawpeer.h"
#include "tests/engine/twocopies.h"
#include "tunnel/incomingpolicy.h"
#include "tunnel/tunnellist.h"
#include "tunnel/tunnelopener.h"

#include <QElapsedTimer>
#include <QTimer>

#include <thread>

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

class Tunnels : public TwoCopies
{
protected:
    void SetUp() override
    {
        TwoCopies::SetUp();
        m_opener = std::make_unique<TunnelOpener>(m_bob->hub().services(), bobList());
    }
    void TearDown() override
    {
        m_opener.reset();
        TwoCopies::TearDown();
    }

    TunnelList& aliceList() { return m_alice->hub().tunnels(); }
    TunnelList& bobList() { return m_bob->hub().tunnels(); }

    // Opens a tunnel from Bob with `hostText`; true once it is listed at Bob.
    bool Open(const QString& hostText)
    {
        bool opened = false;
        const auto connection =
            QObject::connect(m_opener.get(), &TunnelOpener::opened, [&] { opened = true; });
        m_opener->Open(hostText);
        const bool done = WaitUntil([&] { return opened || m_opener->view().failure; });
        QObject::disconnect(connection);
        return done && opened;
    }
    // Bob opens a tunnel to Alice, and Alice lists `incomingRows` rows.
    void OpenToAlice(std::size_t incomingRows)
    {
        ASSERT_TRUE(Open(m_alice->hostText())) << m_opener->view().statusText.toStdString();
        ASSERT_TRUE(WaitUntil([&] { return aliceList().rows().size() == incomingRows; }));
    }

    // Alice sends `name` through the tunnel choice `choice`; Bob accepts it.
    void SendThrough(const QString& choice, const QString& name, int receives)
    {
        WriteFile(Source(name), RandomData(300000, 7));
        QPointer<SendTransfer> send = m_alice->OpenSend(Source(name), false);
        ASSERT_TRUE(send);
        SendInputs inputs;
        inputs.direct = false;
        inputs.tunnelText = choice;
        send->Send(inputs);
        QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(receives);
        ASSERT_TRUE(receive) << StatusOf(send) << Describe(*m_bob);
        EXPECT_EQ(receive->request().nickName, QByteArrayLiteral("Alice"));
        receive->Accept(Destination(name));
        ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed)) << StatusOf(send);
        ASSERT_TRUE(WaitForState(receive, ReceiveTransfer::State::Completed)) << StatusOf(receive);
        EXPECT_EQ(TreeDifference(Source(name), Destination(name)), QString());
    }

    std::unique_ptr<TunnelOpener> m_opener;
};

TEST_F(Tunnels, OpenedTunnelCarriesOneTransferAndBothRowsTurnUsed)
{
    // A recent-hosts entry with port and nickname opens to that port; the row keeps the host.
    const QString typed = QStringLiteral("  127.0.0.1:%1 (Alice)").arg(m_alice->port());
    std::vector<QString> statuses;
    QObject::connect(m_opener.get(), &TunnelOpener::viewChanged,
                     [&] { statuses.push_back(m_opener->view().statusText); });
    ASSERT_TRUE(Open(typed)) << m_opener->view().statusText.toStdString();
    ASSERT_EQ(statuses.front(), QStringLiteral("Status: Idle")) << "OPEN disabled";
    EXPECT_EQ(statuses.at(1), QStringLiteral("Status: Resolving Hostname..."));
    EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                        QStringLiteral("Status: Connecting to 127.0.0.1")),
              statuses.end());
    EXPECT_NE(
        std::find(statuses.begin(), statuses.end(),
                  QStringLiteral("Status: SSL HandShake and Certificate Verification passed")),
        statuses.end());
    EXPECT_TRUE(m_opener->view().openEnabled);
    EXPECT_TRUE(m_bob->sounds().played.empty());
    EXPECT_TRUE(m_bob->recentHosts().LoadRecentHosts().isEmpty()) << "a tunnel is no recent host";

    ASSERT_EQ(bobList().rows().size(), 1u);
    const TunnelList::Row& outgoing = bobList().rows()[0];
    EXPECT_EQ(outgoing.type(), QStringLiteral("Outgoing"));
    EXPECT_EQ(outgoing.host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(outgoing.nickName, QStringLiteral("-"));
    EXPECT_EQ(outgoing.status(), QStringLiteral("Open"));

    ASSERT_TRUE(WaitUntil([&] { return aliceList().rows().size() == 1u; }));
    const TunnelList::Row& incoming = aliceList().rows()[0];
    EXPECT_EQ(incoming.type(), QStringLiteral("Incoming"));
    EXPECT_EQ(incoming.nickName, QStringLiteral("Bob"));
    EXPECT_EQ(incoming.statusImage(), TunnelImageUsable);
    const QStringList choices = aliceList().TunnelChoices();
    ASSERT_EQ(choices, QStringList{incoming.host + QStringLiteral(" (Bob)")});

    SendThrough(choices[0], QStringLiteral("through.bin"), 1);
    EXPECT_EQ(incoming.status(), QStringLiteral("Used"));
    EXPECT_EQ(outgoing.status(), QStringLiteral("Used"));
    EXPECT_EQ(outgoing.nickName, QStringLiteral("Alice"));
    EXPECT_EQ(outgoing.statusImage(), TunnelImageUnusable);
    EXPECT_FALSE(outgoing.handle);
    EXPECT_TRUE(aliceList().TunnelChoices().isEmpty()) << "a tunnel carries one transfer";
    // The request came through Bob's hub as any other: its DOWNLOADS row names the tunnel's host.
    EXPECT_EQ(TopCell(m_bob->downloads(), TransferListModel::Column::Host),
              QStringLiteral("127.0.0.1"));
}

TEST_F(Tunnels, EmptyHostTextDoesNothingAndAFailureLetsTheUserTryAgain)
{
    for (const QString& text : {QString(), QStringLiteral("   ")}) {
        m_opener->Open(text);
        EXPECT_FALSE(m_opener->running());
        EXPECT_EQ(m_opener->view().statusText, QStringLiteral("Status: Idle"));
        EXPECT_TRUE(m_opener->view().openEnabled);
    }

    // Nobody listens on a port just closed.
    int port = 0;
    {
        SilentListener closed;
        port = closed.port();
    }
    m_opener->Open(QStringLiteral("127.0.0.1:%1").arg(port));
    EXPECT_FALSE(m_opener->view().openEnabled);
    ASSERT_TRUE(WaitUntil([&] { return m_opener->view().failure; }));
    EXPECT_EQ(m_opener->view().statusText,
              QStringLiteral("Status: Unable to connect to '127.0.0.1'"));
    EXPECT_TRUE(m_opener->view().openEnabled);
    EXPECT_EQ(m_bob->sounds().Count(Sound::Error), 1);
    EXPECT_TRUE(bobList().rows().empty());

    // The window shown again starts from Idle; the next attempt succeeds.
    m_opener->Reset();
    EXPECT_EQ(m_opener->view().statusText, QStringLiteral("Status: Idle"));
    EXPECT_FALSE(m_opener->view().failure);
    OpenToAlice(1);
}

TEST_F(Tunnels, RegistrationDroppedByPolicyClosesTheOpenersRow)
{
    m_alice->policy().SetMode(PolicyMode::DenyAll);
    ASSERT_TRUE(Open(m_alice->hostText()));
    ASSERT_EQ(bobList().rows().size(), 1u);
    // Listed as Open at first; Alice's listener then closes the connection.
    ASSERT_TRUE(WaitUntil([&] { return bobList().rows()[0].state == TunnelState::Closed; }));
    EXPECT_FALSE(bobList().rows()[0].handle);
    ASSERT_TRUE(WaitUntil([&] { return aliceList().rows().size() == 1u; }));
    const TunnelList::Row& dropped = aliceList().rows()[0];
    EXPECT_EQ(dropped.status(), QStringLiteral("Dropped"));
    EXPECT_EQ(dropped.statusImage(), TunnelImageUnusable);
    EXPECT_TRUE(aliceList().TunnelChoices().isEmpty());

    // "Close Selected Tunnel" leaves a row that is not Open alone.
    aliceList().CloseRow(dropped.id);
    EXPECT_EQ(aliceList().rows()[0].status(), QStringLiteral("Dropped"));
}

TEST_F(Tunnels, TwoTunnelsFromOneHostAreBothOfferedAndTheNewerIsUsed)
{
    OpenToAlice(1);
    OpenToAlice(2);
    const std::vector<TunnelList::Row>& rows = aliceList().rows();
    ASSERT_EQ(rows[0].host, rows[1].host);
    const QStringList choices = aliceList().TunnelChoices();
    ASSERT_EQ(choices.size(), 2);
    EXPECT_EQ(choices[0], choices[1]);

    SendThrough(choices[0], QStringLiteral("newer.bin"), 1);
    EXPECT_EQ(rows[0].status(), QStringLiteral("Used"));
    EXPECT_EQ(rows[1].status(), QStringLiteral("Open"));
    EXPECT_EQ(bobList().rows()[0].status(), QStringLiteral("Used"));
    EXPECT_EQ(bobList().rows()[1].status(), QStringLiteral("Open"));

    // The older one still carries the next transfer.
    ASSERT_EQ(aliceList().TunnelChoices().size(), 1);
    SendThrough(aliceList().TunnelChoices()[0], QStringLiteral("older.bin"), 2);
    EXPECT_EQ(bobList().rows()[1].status(), QStringLiteral("Used"));

    // Clearing keeps Open rows only.
    OpenToAlice(3);
    aliceList().ClearInactive();
    bobList().ClearInactive();
    ASSERT_EQ(aliceList().rows().size(), 1u);
    EXPECT_EQ(aliceList().rows()[0].status(), QStringLiteral("Open"));
    ASSERT_EQ(bobList().rows().size(), 1u);
    EXPECT_EQ(bobList().rows()[0].status(), QStringLiteral("Open"));
}

// One address cannot hold tunnels without end: one more than the limit closes its oldest.
TEST_F(Tunnels, RegistrationsPastTheLimitOfAnAddressCloseItsOldest)
{
    for (int i = 1; i <= TunnelList::MaxOpenPerAddress + 1; ++i)
        OpenToAlice(static_cast<std::size_t>(i));
    const std::vector<TunnelList::Row>& rows = aliceList().rows();
    for (int i = 0; i < TunnelList::MaxOpenPerAddress; ++i)
        EXPECT_EQ(rows[static_cast<std::size_t>(i)].status(), QStringLiteral("Open")) << i;
    EXPECT_EQ(rows.back().status(), QStringLiteral("Closed"));
    EXPECT_EQ(aliceList().TunnelChoices().size(),
              static_cast<qsizetype>(TunnelList::MaxOpenPerAddress));
    // Bob's waiter on the closed one sees its tunnel go.
    ASSERT_TRUE(
        WaitUntil([&] { return bobList().rows().back().status() == QStringLiteral("Closed"); }));
}

TEST_F(Tunnels, ProbeFindsAClosedPeerOnTheTimerAndOnDemand)
{
    for (const bool byTimer : {false, true}) {
        SCOPED_TRACE(byTimer ? "IncTunCheckTimer" : "Refresh Active Tunnels");
        OpenToAlice(1);
        // Bob closes his end: his waiter stops at once, without waiting for Alice.
        QElapsedTimer clock;
        clock.start();
        bobList().CloseRow(bobList().rows()[0].id);
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_EQ(bobList().rows()[0].status(), QStringLiteral("Closed"));

        const TunnelList::Row& row = aliceList().rows()[0];
        if (byTimer) {
            QTimer* timer = aliceList().checkTimer();
            EXPECT_EQ(timer->objectName(), QStringLiteral("IncTunCheckTimer"));
            EXPECT_EQ(timer->interval(), 60000);
            EXPECT_TRUE(timer->isActive());
            timer->setInterval(20);
            ASSERT_TRUE(WaitUntil([&] { return row.state == TunnelState::Closed; }));
        } else {
            ASSERT_TRUE(WaitUntil([&] {
                aliceList().ProbeAll();
                return row.state == TunnelState::Closed;
            }));
        }
        EXPECT_FALSE(row.handle);
        EXPECT_TRUE(aliceList().TunnelChoices().isEmpty());
        aliceList().ClearInactive();
        bobList().ClearInactive();
        ASSERT_TRUE(aliceList().rows().empty());
    }
}

// Short probes show within seconds what the standard figures do within a minute: a peer that
// is alive answers every probe, so neither an idle registered tunnel nor a sender awaiting the
// receiving user's answer is cut off, however long either stays quiet.
TEST_F(Tunnels, ProbesEndNeitherAnIdleTunnelNorAnUnansweredRequestOfALivePeer)
{
    struct StandardFiguresAfterwards
    {
        ~StandardFiguresAfterwards() { LinkLiveness::Use(LinkLiveness::Standard); }
    } restore;
    // Given up after 2 s without an answer; the first probe after 1 s of quiet.
    LinkLiveness::Use({1, 1, 2, 2000});
    OpenToAlice(1);
    const QString name = QStringLiteral("late.bin");
    WriteFile(Source(name), RandomData(300000, 9));
    QPointer<SendTransfer> send = m_alice->OpenSend(Source(name), false);
    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);

    WaitUntil([] { return false; }, 5000); // quiet through several rounds of probes
    aliceList().ProbeAll();
    QCoreApplication::processEvents();
    EXPECT_EQ(aliceList().rows()[0].status(), QStringLiteral("Open"));
    EXPECT_EQ(bobList().rows()[0].status(), QStringLiteral("Open"));
    ASSERT_EQ(receive->state(), ReceiveTransfer::State::Pending) << StatusOf(receive);
    ASSERT_EQ(send->state(), SendTransfer::State::Connecting) << StatusOf(send);

    receive->Accept(Destination(name));
    ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed)) << StatusOf(send);
    ASSERT_TRUE(WaitForState(receive, ReceiveTransfer::State::Completed)) << StatusOf(receive);
    EXPECT_EQ(TreeDifference(Source(name), Destination(name)), QString());
    SendThrough(aliceList().TunnelChoices().value(0), QStringLiteral("through.bin"), 2);
}

TEST_F(Tunnels, RequestOfAnotherVersionOnAnOutgoingTunnelIsAnswered)
{
    std::optional<ReplyHeader> reply;
    OneRequestServer peer(m_alice->folder().path(), [&](TlsSession& session) {
        RequestHeader request;
        request.nickName = QByteArrayLiteral("Future");
        request.fileName = QByteArrayLiteral("new.bin");
        request.versionB = ProtocolVersionB + 1;
        WriteRequest(session, request);
        reply = ReadReply(session);
    });
    ASSERT_TRUE(peer.listening());
    ASSERT_TRUE(Open(peer.hostText()));
    ASSERT_TRUE(WaitUntil([&] { return peer.finished(); }));
    ASSERT_TRUE(peer.request());
    EXPECT_TRUE(peer.request()->IsTunnelRegistration());
    EXPECT_TRUE(peer.request()->VersionMatches());
    EXPECT_EQ(peer.request()->nickName, QByteArrayLiteral("Bob"));
    EXPECT_EQ(peer.request()->senderPort, m_bob->port());
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->IsVersionMismatch());
    EXPECT_EQ(reply->nickName, QByteArrayLiteral("Bob"));

    ASSERT_TRUE(WaitUntil([&] { return bobList().rows()[0].state == TunnelState::Closed; }));
    EXPECT_EQ(bobList().rows()[0].nickName, QStringLiteral("Future"));
    EXPECT_EQ(m_bob->downloads().rowCount(), 0);
}

TEST_F(Tunnels, RequestSplitAcrossRecordsStillArrives)
{
    OneRequestServer peer(m_alice->folder().path(), [](TlsSession& session) {
        RequestHeader request;
        request.nickName = QByteArrayLiteral("Slow");
        request.fileName = QByteArrayLiteral("piece.bin");
        request.fileCount = 1;
        request.totalSize = 10;
        request.rawFlag = 1;
        const auto bytes = request.Encode();
        session.Write(bytes.data(), 100);
        std::this_thread::sleep_for(50ms);
        session.Write(bytes.data() + 100, RequestHeader::Size - 100);
        ReadReply(session); // until Bob answers or closes
    });
    ASSERT_TRUE(Open(peer.hostText()));
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    EXPECT_EQ(receive->request().fileName, QByteArrayLiteral("piece.bin"));
    EXPECT_EQ(bobList().rows()[0].status(), QStringLiteral("Used"));
    EXPECT_EQ(bobList().rows()[0].nickName, QStringLiteral("Slow"));
    receive->Abort(QByteArray());
}

TEST_F(Tunnels, AbortDuringTheHandshakeReturnsAtOnceAndListsNothing)
{
    SilentListener silent;
    ASSERT_TRUE(silent.listening());
    m_opener->Open(QStringLiteral("127.0.0.1:%1").arg(silent.port()));
    ASSERT_TRUE(WaitUntil([&] {
        return m_opener->view().statusText.startsWith(QStringLiteral("Status: SSL HandShake with"));
    })) << m_opener->view().statusText.toStdString();
    QElapsedTimer clock;
    clock.start();
    m_opener->Abort();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(m_opener->running());
    EXPECT_TRUE(m_opener->view().openEnabled);
    QCoreApplication::processEvents();
    EXPECT_TRUE(bobList().rows().empty());
    EXPECT_TRUE(m_bob->sounds().played.empty());
}

TEST_F(Tunnels, EndingTheProgramWithAWaiterBlockedIsPrompt)
{
    OpenToAlice(1);
    OpenToAlice(2);
    bobList().CloseRow(bobList().rows()[1].id); // a closed row among open ones
    QElapsedTimer clock;
    clock.start();
    m_opener.reset();
    m_bob.reset();
    EXPECT_LT(clock.elapsed(), 3000);
    // Alice finds both gone.
    ASSERT_TRUE(WaitUntil([&] { return aliceList().TunnelChoices().isEmpty(); }));
}

} // namespace
} // namespace vantrel::test
