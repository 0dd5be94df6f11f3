#include "receive/listener.h"

#include "net/incomingrequest.h"
#include "net/securechannel.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "netutil/dyndnsbook.h"
#include "netutil/dyndnsrefresher.h"
#include "tests/support/quiethub.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"
#include "tunnel/incomingpolicy.h"
#include "tunnel/tunnelhandle.h"
#include "tunnel/tunnelregistration.h"

#include <QObject>

#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

constexpr std::uint32_t Localhost = 0x7F000001;
const QByteArray OwnNick = QByteArrayLiteral("Listener");

// Stands in for the hub: keeps what the listener hands over.
class EventSink : public test::QuietHub
{
public:
    std::vector<std::unique_ptr<IncomingRequest>> requests;
    std::vector<std::unique_ptr<IncomingRequest>> dropped;
    std::vector<std::unique_ptr<TunnelRegistration>> tunnels;

    int total() const
    {
        return static_cast<int>(requests.size() + dropped.size() + tunnels.size());
    }

    void Take(hub::UM_INCOMING_REQUEST message) override
    {
        requests.push_back(std::move(message.incoming));
    }
    void Take(hub::UM_REQUEST_DROPPED message) override
    {
        dropped.push_back(std::move(message.incoming));
    }
    void Take(hub::UM_TUNNEL_REGISTERED message) override
    {
        tunnels.push_back(std::move(message.registration));
    }
};

RequestHeader SampleRequest(std::int32_t kind = 0)
{
    RequestHeader request;
    request.kind = kind;
    request.nickName = QByteArrayLiteral("Ann");
    request.fileName = QByteArrayLiteral("photos");
    request.comment = QByteArrayLiteral("for you");
    request.dirCount = 2;
    request.fileCount = 7;
    request.totalSize = 123456;
    request.senderPort = 9000;
    return request;
}

// A blocking read on the socket gives up after `ms`, so that a fault fails the test instead
// of hanging it.
void SetReadLimit(int fd, int ms)
{
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// A plain TCP connection from `source` (a loopback address) that never starts a handshake.
int ConnectRaw(int port, std::uint32_t source = Localhost)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(source);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(Localhost);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    SetReadLimit(fd, 10000);
    return fd;
}

// True once the peer has closed the plain connection (end of stream or reset).
bool RawClosedByPeer(int fd)
{
    char byte = 0;
    const ssize_t got = ::recv(fd, &byte, 1, 0);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

// True when nothing (no byte, no end of stream) arrives on the plain connection for a while.
bool StillOpen(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 200) == 0;
}

class ListenerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SecureChannel::Bind());
        ASSERT_TRUE(test::testcertificates::WriteProfileCertificates(m_folder.path()));
        m_listener = MakeListener();
    }

    std::unique_ptr<Listener> MakeListener()
    {
        return std::make_unique<Listener>(
            ProgramFolder(m_folder.path()), m_policy, m_book, [] { return OwnNick; }, &m_sink);
    }

    std::unique_ptr<TlsSession> Connect()
    {
        auto context = SecureChannel::CreateClientContext();
        auto result = SecureChannel::ConnectSession(
            *context, m_folder.file(QStringLiteral("clientcalist.pem")), Localhost,
            static_cast<std::uint16_t>(m_listener->PortInUse()), {});
        if (result.session)
            SetReadLimit(result.session->SocketDescriptor(), 10000);
        return std::move(result.session);
    }

    // Connects, sends `request` and returns the client's session.
    std::unique_ptr<TlsSession> Send(const RequestHeader& request)
    {
        auto session = Connect();
        EXPECT_TRUE(session);
        if (session) {
            EXPECT_TRUE(WriteRequest(*session, request));
        }
        return session;
    }

    // The peer closed without sending a byte.
    static bool ClosedWithoutReply(TlsSession& session)
    {
        char byte = 0;
        return session.Read(&byte, 1) <= 0;
    }

    test::TempFolder m_folder;
    IncomingPolicy m_policy;
    DynDnsBook m_book;
    EventSink m_sink;
    std::unique_ptr<Listener> m_listener;
};

TEST_F(ListenerTest, RequestReachesHubWithPeerNamedAndSessionUsable)
{
    ASSERT_TRUE(m_listener->Start(0));
    EXPECT_GT(m_listener->PortInUse(), 0);

    // An unknown kind is a transfer request like kind 0.
    for (const std::int32_t kind : {0, 7}) {
        SCOPED_TRACE(kind);
        m_sink.requests.clear();
        auto client = Send(SampleRequest(kind));
        ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
        IncomingRequest& incoming = *m_sink.requests.front();
        EXPECT_EQ(incoming.request.kind, kind);
        EXPECT_EQ(incoming.request.nickName, QByteArrayLiteral("Ann"));
        EXPECT_EQ(incoming.request.fileName, QByteArrayLiteral("photos"));
        EXPECT_EQ(incoming.request.totalSize, 123456u);
        EXPECT_EQ(incoming.request.senderPort, 9000);
        ASSERT_TRUE(incoming.connection);
        EXPECT_EQ(incoming.connection->peerAddress, Localhost);
        EXPECT_NE(incoming.connection->peerPort, 0);
        EXPECT_TRUE(incoming.connection->peerName == QLatin1String("localhost") ||
                    incoming.connection->peerName == QLatin1String("127.0.0.1"))
            << incoming.connection->peerName.toStdString();

        // The session handed over is the live end of the client's connection.
        ASSERT_TRUE(incoming.connection->session && incoming.connection->session->IsOpen());
        ASSERT_TRUE(WriteReply(*incoming.connection->session,
                               ReplyHeader::Accept(QByteArrayLiteral("Me"))));
        const auto reply = ReadReply(*client);
        ASSERT_TRUE(reply);
        EXPECT_TRUE(reply->IsAccepted());
    }
    EXPECT_TRUE(m_sink.dropped.empty());
    EXPECT_TRUE(m_sink.tunnels.empty());
}

TEST_F(ListenerTest, DynamicDnsNameIsPreferredOverReverseLookup)
{
    m_book.AddEntry(QStringLiteral("unresolved.example"), QStringLiteral("-"));
    m_book.AddEntry(QStringLiteral("home.dyn.example"), QStringLiteral("127.0.0.1"));
    m_book.AddEntry(QStringLiteral("second.dyn.example"), QStringLiteral("127.0.0.1"));
    // The policy judges the book's name too.
    m_policy.SetMode(PolicyMode::AcceptOnly);
    m_policy.AddHost(QStringLiteral("home.dyn.example"));
    ASSERT_TRUE(m_listener->Start(0));

    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
    EXPECT_EQ(m_sink.requests.front()->connection->peerName, QStringLiteral("home.dyn.example"));
}

// The book learns the peer's address from a refresh pass; once the name stops resolving it
// shows "-" and names no peer.
TEST_F(ListenerTest, BookNamesAPeerOnlyWhileItsNameResolvesToIt)
{
    std::atomic<bool> resolves{true};
    DynDnsRefresher refresher(m_book, [&](const QString& host) -> std::optional<QString> {
        if (resolves && host == QLatin1String("home.dyn.test"))
            return QStringLiteral("127.0.0.1");
        return std::nullopt;
    });
    m_book.AddEntry(QStringLiteral("home.dyn.test"), DynDnsBook::Unresolved);
    ASSERT_TRUE(m_listener->Start(0));

    for (const bool named : {true, false}) {
        SCOPED_TRACE(named);
        resolves = named;
        refresher.RefreshAll();
        ASSERT_TRUE(test::WaitUntil([&] { return !refresher.view().running; }));
        EXPECT_EQ(m_book.entries().front().address,
                  named ? QStringLiteral("127.0.0.1") : QStringLiteral("-"));
        m_sink.requests.clear();
        auto client = Send(SampleRequest());
        ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
        const QString& peer = m_sink.requests.front()->connection->peerName;
        if (named)
            EXPECT_EQ(peer, QStringLiteral("home.dyn.test"));
        else
            EXPECT_TRUE(peer == QLatin1String("localhost") || peer == QLatin1String("127.0.0.1"))
                << peer.toStdString();
    }
}

TEST_F(ListenerTest, ShortRequestIsClosedSilentlyAndListenerServesOn)
{
    ASSERT_TRUE(m_listener->Start(0));
    auto shortClient = Connect();
    ASSERT_TRUE(shortClient);
    const QByteArray partial(100, 'x');
    ASSERT_EQ(shortClient->Write(partial.constData(), static_cast<int>(partial.size())), 100);
    ::shutdown(shortClient->SocketDescriptor(), SHUT_WR);
    EXPECT_TRUE(ClosedWithoutReply(*shortClient));

    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
    EXPECT_EQ(m_sink.total(), 1);
}

TEST_F(ListenerTest, VersionMismatchIsAnsweredBeforeTheKindIsLookedAt)
{
    struct Case
    {
        std::uint16_t versionA;
        std::uint16_t versionB;
        std::int32_t kind;
    };
    const Case cases[] = {{1, 3, 0}, {2, 4, 0}, {2, 4, 3}, {1, 5, 3}, {0, 0, 7}};
    // Even a policy that would drop the peer lets it learn about the version first.
    m_policy.SetMode(PolicyMode::DenyAll);
    ASSERT_TRUE(m_listener->Start(0));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.versionA << "/" << c.versionB << " kind " << c.kind);
        RequestHeader request = SampleRequest(c.kind);
        request.versionA = c.versionA;
        request.versionB = c.versionB;
        auto client = Send(request);
        ASSERT_TRUE(client);
        const auto reply = ReadReply(*client);
        ASSERT_TRUE(reply);
        EXPECT_TRUE(reply->IsVersionMismatch());
        EXPECT_EQ(reply->nickName, OwnNick);
        EXPECT_TRUE(ClosedWithoutReply(*client));
    }
    // Nothing was posted for any of them: the next event is this request's drop.
    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.total() == 1; }));
    EXPECT_EQ(m_sink.dropped.size(), 1u);
}

TEST_F(ListenerTest, DeniedRequestIsDroppedWithoutReply)
{
    m_policy.SetMode(PolicyMode::DenyAll);
    ASSERT_TRUE(m_listener->Start(0));
    auto client = Send(SampleRequest());
    EXPECT_TRUE(ClosedWithoutReply(*client));
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.dropped.size() == 1; }));
    const IncomingRequest& dropped = *m_sink.dropped.front();
    EXPECT_FALSE(dropped.connection->session);
    EXPECT_EQ(dropped.connection->peerAddress, Localhost);
    EXPECT_FALSE(dropped.connection->peerName.isEmpty());
    EXPECT_EQ(dropped.request.fileName, QByteArrayLiteral("photos"));
    EXPECT_EQ(dropped.request.fileCount, 7u);
    EXPECT_TRUE(m_sink.requests.empty());
}

TEST_F(ListenerTest, TunnelRegistrationFollowsThePolicy)
{
    ASSERT_TRUE(m_listener->Start(0));

    // Allowed: the session stays open, unanswered, and is handed over in the event.
    RequestHeader registration = SampleRequest(3);
    registration.nickName = QByteArrayLiteral("Bob");
    auto open = Send(registration);
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.tunnels.size() == 1; }));
    {
        TunnelRegistration& event = *m_sink.tunnels.back();
        EXPECT_EQ(event.state, TunnelState::Open);
        EXPECT_EQ(event.nickName, QByteArrayLiteral("Bob"));
        EXPECT_FALSE(event.peerName.isEmpty());
        ASSERT_TRUE(event.tunnel && event.tunnel->session);
        // The first bytes the registering side sees are the ones sent through the tunnel.
        ASSERT_TRUE(WriteRequest(*event.tunnel->session, SampleRequest()));
        const auto pushed = ReadRequest(*open);
        ASSERT_TRUE(pushed);
        EXPECT_EQ(pushed->fileName, QByteArrayLiteral("photos"));
    }

    m_policy.SetMode(PolicyMode::DenyAll);
    auto denied = Send(registration);
    EXPECT_TRUE(ClosedWithoutReply(*denied));
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.tunnels.size() == 2; }));
    TunnelRegistration& event = *m_sink.tunnels.back();
    EXPECT_EQ(event.state, TunnelState::Dropped);
    EXPECT_FALSE(event.tunnel);
    EXPECT_TRUE(m_sink.requests.empty());
    EXPECT_TRUE(m_sink.dropped.empty());
}

TEST_F(ListenerTest, StalledPeersDoNotHoldUpOthers)
{
    ASSERT_TRUE(m_listener->Start(0));
    // One peer never starts its handshake, another finishes it and never sends its request.
    const int stalledHandshake = ConnectRaw(m_listener->PortInUse());
    ASSERT_GE(stalledHandshake, 0);
    auto silent = Connect();
    ASSERT_TRUE(silent);

    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
    ::close(stalledHandshake);
}

TEST_F(ListenerTest, TimeLimitClosesSilentConnections)
{
    m_listener->SetRequestTimeLimit(std::chrono::milliseconds(200));
    ASSERT_TRUE(m_listener->Start(0));
    const int stalledHandshake = ConnectRaw(m_listener->PortInUse());
    ASSERT_GE(stalledHandshake, 0);
    auto silent = Connect();
    ASSERT_TRUE(silent);

    // Both are cut off well within the sockets' own 10 s read limit.
    EXPECT_TRUE(RawClosedByPeer(stalledHandshake));
    EXPECT_TRUE(ClosedWithoutReply(*silent));
    ::close(stalledHandshake);

    // A request that arrives in time then waits without limit for its answer.
    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
    EXPECT_EQ(m_sink.total(), 1);
}

// When every place for an unauthenticated connection is taken, the newcomer takes the place
// of the oldest: a flood from many addresses cannot lock a legitimate peer out.
TEST_F(ListenerTest, WhenFullTheOldestUnauthenticatedConnectionMakesRoom)
{
    m_listener->SetMaxConnections(2);
    ASSERT_TRUE(m_listener->Start(0));
    const int first = ConnectRaw(m_listener->PortInUse(), Localhost + 2);
    ASSERT_GE(first, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return m_listener->UnauthenticatedCount() == 1; }));
    const int second = ConnectRaw(m_listener->PortInUse(), Localhost + 3);
    ASSERT_GE(second, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return m_listener->UnauthenticatedCount() == 2; }));

    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
    EXPECT_TRUE(RawClosedByPeer(first)); // the oldest went
    ::close(first);
    ::close(second);
}

// A busy peer starting many transfers at once holds more than its share while places are
// free: none of its connections is turned away.
TEST_F(ListenerTest, ABusyPeerMayHoldMoreThanItsShareWhilePlacesAreFree)
{
    m_listener->SetMaxConnections(6);
    m_listener->SetMaxPerSource(2);
    ASSERT_TRUE(m_listener->Start(0));
    std::vector<int> held;
    for (int i = 0; i < 5; ++i) {
        held.push_back(ConnectRaw(m_listener->PortInUse()));
        ASSERT_GE(held.back(), 0);
    }
    ASSERT_TRUE(test::WaitUntil([&] { return m_listener->UnauthenticatedCount() == 5; }));
    for (const int fd : held)
        EXPECT_TRUE(StillOpen(fd));

    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
    for (const int fd : held)
        ::close(fd);
}

// With every place taken, an address holding its share gets no more, and a newcomer from
// another address takes the place of the oldest connection of the address most beyond its
// share.
TEST_F(ListenerTest, WhenFullTheAddressBeyondItsShareGivesWay)
{
    m_listener->SetMaxConnections(4);
    m_listener->SetMaxPerSource(2);
    ASSERT_TRUE(m_listener->Start(0));
    const int port = m_listener->PortInUse();
    std::vector<int> greedy; // 127.0.0.2
    for (int i = 0; i < 3; ++i) {
        greedy.push_back(ConnectRaw(port, Localhost + 1));
        ASSERT_GE(greedy.back(), 0);
    }
    const int other = ConnectRaw(port, Localhost + 2);
    ASSERT_GE(other, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return m_listener->UnauthenticatedCount() == 4; }));

    const int refused = ConnectRaw(port, Localhost + 1);
    ASSERT_GE(refused, 0);
    EXPECT_TRUE(RawClosedByPeer(refused));
    ::close(refused);
    for (const int fd : greedy)
        EXPECT_TRUE(StillOpen(fd));

    // 127.0.0.3 holds one place, within its share: it is the greedy address that makes room.
    const int second = ConnectRaw(port, Localhost + 2);
    ASSERT_GE(second, 0);
    EXPECT_TRUE(RawClosedByPeer(greedy[0]));
    EXPECT_TRUE(StillOpen(other));
    EXPECT_TRUE(StillOpen(second));

    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
    EXPECT_TRUE(RawClosedByPeer(greedy[1]));
    EXPECT_TRUE(StillOpen(other));
    for (const int fd : greedy)
        ::close(fd);
    ::close(other);
    ::close(second);
}

struct FreeSsl
{
    void operator()(SSL* ssl) const { SSL_free(ssl); }
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
using SslPtr = std::unique_ptr<SSL, FreeSsl>;
using SslContextPtr = std::unique_ptr<SSL_CTX, FreeSsl>;

// Entries of a /proc folder of this process: its open descriptors or its threads.
std::size_t CountEntries(const char* folder)
{
    std::error_code error;
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator(folder, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    return count;
}

// How the attacker's connections hold their places.
enum class FloodKind
{
    Idle,                // connect and say nothing
    HandshakeByteByByte, // a TLS handshake sent a byte at a time
    RequestByteASecond,  // a finished handshake, then a request sent a byte a second
};

// The first flight of a TLS client, as the attacker trickles it.
std::string ClientHello()
{
    SslContextPtr context(SSL_CTX_new(TLS_client_method()));
    SslPtr ssl(SSL_new(context.get()));
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl.get(), in, out);
    SSL_connect(ssl.get()); // wants the server's answer
    char* bytes = nullptr;
    const long length = BIO_get_mem_data(out, &bytes);
    return std::string(bytes, static_cast<std::size_t>(length));
}

// One connection of the attacker's, sending its bytes slowly.
struct AttackerConnection
{
    int fd = -1;
    SslPtr tls;
    std::string pending;
    std::size_t sent = 0;

    void SendNextByte()
    {
        if (sent >= pending.size())
            return;
        const int wrote = tls ? SSL_write(tls.get(), pending.data() + sent, 1)
                              : static_cast<int>(::send(fd, pending.data() + sent, 1,
                                                        MSG_NOSIGNAL | MSG_DONTWAIT));
        if (wrote == 1)
            ++sent;
        else
            sent = pending.size(); // the listener let it go: it stays held, idle
    }
    void Close()
    {
        tls.reset();
        ::close(fd);
    }
};

class ListenerFloodTest : public ListenerTest, public ::testing::WithParamInterface<FloodKind>
{
protected:
    AttackerConnection Attack(int port, std::uint32_t from, SSL_CTX* context)
    {
        AttackerConnection connection;
        connection.fd = ConnectRaw(port, from);
        if (connection.fd < 0)
            return connection;
        switch (GetParam()) {
        case FloodKind::Idle:
            break;
        case FloodKind::HandshakeByteByByte:
            connection.pending = m_clientHello;
            break;
        case FloodKind::RequestByteASecond:
            // Only the connections the listener admits finish the handshake; it closes the
            // others at once, so this never waits long.
            connection.tls.reset(SSL_new(context));
            SSL_set_fd(connection.tls.get(), connection.fd);
            if (SSL_connect(connection.tls.get()) == 1)
                connection.pending.assign(RequestHeader::Size, 'A');
            else
                connection.tls.reset();
            break;
        }
        return connection;
    }

    const std::string m_clientHello = ClientHello();
};

// One address holding a thousand connections, idle or trickling, and opening more all the
// time (127.0.0.2, the attacker), never keeps a request from another address (127.0.0.1)
// from being answered.
TEST_P(ListenerFloodTest, AFloodFromOneAddressLeavesOthersServed)
{
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    ::setrlimit(RLIMIT_NOFILE, &files);
    ASSERT_GE(files.rlim_cur, 1200u) << "too few descriptors for the flood";

    ASSERT_TRUE(m_listener->Start(0));
    const std::size_t descriptorsBefore = CountEntries("/proc/self/fd");
    const std::size_t threadsBefore = CountEntries("/proc/self/task");
    const int port = m_listener->PortInUse();
    SslContextPtr attackerContext(SSL_CTX_new(TLS_client_method()));
    constexpr std::uint32_t Attacker = Localhost + 1;
    constexpr std::size_t Held = 1000;
    std::deque<AttackerConnection> flood;
    for (std::size_t i = 0; i < Held; ++i) {
        flood.push_back(Attack(port, Attacker, attackerContext.get()));
        ASSERT_GE(flood.back().fd, 0) << "connection " << i;
    }
    EXPECT_LE(m_listener->UnauthenticatedCount(), Listener::DefaultMaxConnections);

    // The attacker keeps connecting, a thousand held at any moment, and every held
    // connection sends its next byte about once a second, while requests come in.
    std::atomic<bool> stop{false};
    std::thread attacker([&] {
        auto nextTrickle = std::chrono::steady_clock::now();
        while (!stop.load()) {
            auto connection = Attack(port, Attacker, attackerContext.get());
            if (connection.fd >= 0)
                flood.push_back(std::move(connection));
            while (flood.size() > Held) {
                flood.front().Close();
                flood.pop_front();
            }
            if (std::chrono::steady_clock::now() >= nextTrickle) {
                for (auto& held : flood)
                    held.SendNextByte();
                nextTrickle += std::chrono::seconds(1);
            }
        }
    });
    for (int round = 1; round <= 3; ++round) {
        const auto asked = std::chrono::steady_clock::now();
        auto client = Send(SampleRequest());
        EXPECT_TRUE(test::WaitUntil(
            [&] { return static_cast<int>(m_sink.requests.size()) == round; }, 5000))
            << "round " << round;
        if (static_cast<int>(m_sink.requests.size()) != round)
            break;
        EXPECT_EQ(m_sink.requests.back()->connection->peerAddress, Localhost);
        const auto answered = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - asked);
        RecordProperty("answered_ms_round_" + std::to_string(round),
                       static_cast<int>(answered.count()));
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
    }
    stop.store(true);
    attacker.join();
    for (auto& held : flood)
        held.Close();
    flood.clear();
    attackerContext.reset();

    // Every connection of the attacker's ends with its descriptor and thread; what stays is
    // the served peers' sessions, handed over.
    const std::size_t served = m_sink.requests.size();
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            return CountEntries("/proc/self/fd") <= descriptorsBefore + served &&
                   CountEntries("/proc/self/task") <= threadsBefore;
        },
        15000))
        << CountEntries("/proc/self/fd") << " descriptors, " << descriptorsBefore << " before; "
        << CountEntries("/proc/self/task") << " threads, " << threadsBefore << " before";
}

INSTANTIATE_TEST_SUITE_P(Kinds, ListenerFloodTest,
                         ::testing::Values(FloodKind::Idle, FloodKind::HandshakeByteByByte,
                                           FloodKind::RequestByteASecond),
                         [](const ::testing::TestParamInfo<FloodKind>& kind) {
                             switch (kind.param) {
                             case FloodKind::Idle:
                                 return "Idle";
                             case FloodKind::HandshakeByteByByte:
                                 return "HandshakeByteByByte";
                             case FloodKind::RequestByteASecond:
                                 return "RequestByteASecond";
                             }
                             return "Unknown";
                         });

TEST_F(ListenerTest, StartFailsSilentlyWhenItCannotListen)
{
    ASSERT_TRUE(m_listener->Start(0));
    const int taken = m_listener->PortInUse();

    // The port is held by another listener.
    auto second = MakeListener();
    EXPECT_FALSE(second->Start(taken));
    EXPECT_FALSE(second->IsListening());
    EXPECT_EQ(second->PortInUse(), taken);

    // No usable certificate.
    test::TempFolder empty;
    Listener withoutCertificate(
        ProgramFolder(empty.path()), m_policy, m_book, [] { return OwnNick; }, &m_sink);
    EXPECT_FALSE(withoutCertificate.Start(0));
    EXPECT_FALSE(withoutCertificate.IsListening());

    // The first one serves on.
    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_sink.requests.size() == 1; }));
}

TEST_F(ListenerTest, StopEndsPendingConnectionsAndJoins)
{
    ASSERT_TRUE(m_listener->Start(0));
    const int port = m_listener->PortInUse();
    const int stalled = ConnectRaw(port);
    ASSERT_GE(stalled, 0);
    auto silent = Connect();
    ASSERT_TRUE(silent);

    m_listener->Stop();
    EXPECT_FALSE(m_listener->IsListening());
    EXPECT_TRUE(RawClosedByPeer(stalled));
    EXPECT_TRUE(ClosedWithoutReply(*silent));
    ::close(stalled);
    EXPECT_LT(ConnectRaw(port), 0); // nobody listens any more
    EXPECT_EQ(m_sink.total(), 0);
}

} // namespace
} // namespace vantrel
