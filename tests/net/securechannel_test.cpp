#include "net/securechannel.h"
#include "net/workerstop.h"
#include "tests/net/loopback.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

// Readable failure messages for texts.
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace vantrel::test {
namespace {

namespace tc = testcertificates;
using certificates::PemPair;

constexpr std::int64_t Day = 24 * 3600;

using Step = SecureChannel::ConnectStep;
using Failure = SecureChannel::ConnectFailure;
using Steps = std::vector<Step>;

std::unique_ptr<ServerContext> ServerContextOf(const QString& folder)
{
    return SecureChannel::CreateServerContext(folder + QStringLiteral("/servercert.pem"),
                                              folder + QStringLiteral("/serverkey.pem"));
}

// One client handshake against a server built from the folder's files. On success the
// client writes "hello" and closes; the server thread keeps whatever it receives.
struct Attempt
{
    Steps steps;
    Failure failure = Failure::None;
    bool clientConnected = false;
    bool serverHandshook = false;
    QByteArray serverReceived;
};

Attempt RunAttempt(const QString& folder)
{
    Attempt attempt;
    LoopbackListener listener;
    auto serverContext = ServerContextOf(folder);
    auto clientContext = SecureChannel::CreateClientContext();
    if (!serverContext || !clientContext) {
        ADD_FAILURE() << "no contexts";
        return attempt;
    }
    std::thread server([&] {
        auto session = SecureChannel::AcceptSession(*serverContext, listener.Accept());
        if (!session)
            return;
        attempt.serverHandshook = true;
        SetReadDeadline(*session, 10000);
        char buffer[256];
        for (int n; (n = session->Read(buffer, sizeof buffer)) > 0;)
            attempt.serverReceived.append(buffer, n);
    });
    auto result = SecureChannel::ConnectSession(
        *clientContext, folder + QStringLiteral("/clientcalist.pem"), LocalhostAddress,
        listener.port(), [&](Step step) { attempt.steps.push_back(step); });
    attempt.failure = result.failure;
    if (result.session) {
        attempt.clientConnected = true;
        EXPECT_EQ(result.session->PeerAddress(), LocalhostAddress);
        EXPECT_EQ(result.session->PeerPort(), listener.port());
        EXPECT_EQ(result.session->Write("hello", 5), 5);
        result.session->Close();
    } else {
        listener.Cancel();
    }
    server.join();
    return attempt;
}

struct ChainCase
{
    const char* name;
    bool signedByTrustedAuthority;
    std::int64_t notBefore;
    std::int64_t notAfter;
    bool passes;
};

class ServerCertificate : public ::testing::TestWithParam<ChainCase>
{
};

TEST_P(ServerCertificate, IsJudgedAfterACompleteHandshake)
{
    const ChainCase& c = GetParam();
    TempFolder folder;
    const PemPair signer = c.signedByTrustedAuthority
                               ? tc::SharedAuthority()
                               : tc::NewAuthority(QStringLiteral("Stranger"));
    ASSERT_TRUE(tc::WriteServerFiles(folder.path(), signer, c.notBefore, c.notAfter));
    ASSERT_TRUE(tc::WriteTrustList(folder.path(), {tc::SharedAuthority()}));

    const Attempt attempt = RunAttempt(folder.path());

    // The TLS handshake itself never fails over a certificate.
    EXPECT_TRUE(attempt.serverHandshook);
    if (c.passes) {
        EXPECT_TRUE(attempt.clientConnected);
        EXPECT_EQ(attempt.steps, Steps({Step::HandShaking, Step::Verified}));
        EXPECT_EQ(attempt.serverReceived, QByteArray("hello"));
    } else {
        EXPECT_FALSE(attempt.clientConnected);
        EXPECT_EQ(attempt.steps, Steps({Step::HandShaking}));
        EXPECT_EQ(attempt.failure, Failure::Verification);
        // Nothing was written to a server that failed verification.
        EXPECT_TRUE(attempt.serverReceived.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Chains, ServerCertificate,
                         ::testing::Values(ChainCase{"Trusted", true, -3600, Day, true},
                                           ChainCase{"ExpiredButChained", true, -2 * Day, -Day,
                                                     true},
                                           ChainCase{"NotYetValid", true, Day, 2 * Day, false},
                                           ChainCase{"Untrusted", false, -3600, Day, false}),
                         [](const auto& p) { return std::string(p.param.name); });

// A leaf naming `issuerNameOf` as its issuer, signed with `signer`'s key, without the key
// identifier that would point chain building at the real signer.
PemPair LeafNamingIssuer(const PemPair& issuerNameOf, const PemPair& signer)
{
    auto read = [](const QByteArray& pem) {
        return BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size()));
    };
    BIO* issuerBio = read(issuerNameOf.certificatePem);
    BIO* signerBio = read(signer.privateKeyPem);
    X509* issuer = PEM_read_bio_X509(issuerBio, nullptr, nullptr, nullptr);
    EVP_PKEY* signerKey = PEM_read_bio_PrivateKey(signerBio, nullptr, nullptr, nullptr);
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* leaf = X509_new();
    X509_set_version(leaf, X509_VERSION_3);
    ASN1_INTEGER_set(X509_get_serialNumber(leaf), 7);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(leaf), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(leaf, X509_get_subject_name(issuer));
    X509_gmtime_adj(X509_getm_notBefore(leaf), -3600);
    X509_gmtime_adj(X509_getm_notAfter(leaf), Day);
    X509_set_pubkey(leaf, key);
    X509_sign(leaf, signerKey, EVP_sha256());
    BIO* certOut = BIO_new(BIO_s_mem());
    BIO* keyOut = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(certOut, leaf);
    PEM_write_bio_PrivateKey(keyOut, key, nullptr, nullptr, 0, nullptr, nullptr);
    auto bytes = [](BIO* bio) {
        char* data = nullptr;
        const long n = BIO_get_mem_data(bio, &data);
        return QByteArray(data, n);
    };
    PemPair pair{bytes(certOut), bytes(keyOut)};
    BIO_free(certOut);
    BIO_free(keyOut);
    X509_free(leaf);
    EVP_PKEY_free(key);
    EVP_PKEY_free(signerKey);
    X509_free(issuer);
    BIO_free(signerBio);
    BIO_free(issuerBio);
    return pair;
}

TEST(ExpiredAuthority, StillVouchesOnlyForWhatItSigned)
{
    // An expired authority is accepted like an expired server certificate, but its expiry
    // must not stop the check of the signature below it.
    const PemPair expired = *certificates::MakeAuthority(QStringLiteral("Twin"), -2 * Day, -Day);
    const PemPair impostor = tc::NewAuthority(QStringLiteral("Twin"));
    struct Case
    {
        const char* name;
        const PemPair& signer;
        bool passes;
    } cases[] = {{"signed by the expired authority", expired, true},
                 {"signed by another key under its name", impostor, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const PemPair leaf = LeafNamingIssuer(expired, c.signer);
        folder.write(QStringLiteral("servercert.pem"), leaf.certificatePem);
        folder.write(QStringLiteral("serverkey.pem"), leaf.privateKeyPem);
        ASSERT_TRUE(tc::WriteTrustList(folder.path(), {expired}));
        const Attempt attempt = RunAttempt(folder.path());
        EXPECT_EQ(attempt.clientConnected, c.passes);
        EXPECT_EQ(attempt.failure, c.passes ? Failure::None : Failure::Verification);
    }
}

TEST(ConnectSession, MissingTrustListFailsBeforeAnyConnection)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteServerFiles(folder.path(), tc::SharedAuthority()));
    LoopbackListener listener;
    auto context = SecureChannel::CreateClientContext();
    Steps steps;
    auto result = SecureChannel::ConnectSession(
        *context, folder.file(QStringLiteral("clientcalist.pem")), LocalhostAddress,
        listener.port(), [&](Step step) { steps.push_back(step); });
    EXPECT_FALSE(result.session);
    EXPECT_EQ(result.failure, Failure::TrustList);
    EXPECT_TRUE(steps.empty());
    EXPECT_FALSE(listener.HasPendingConnection());
}

TEST(ConnectSession, ClosedPortCannotBeConnected)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    std::uint16_t closedPort = 0;
    {
        LoopbackListener listener;
        closedPort = listener.port();
    }
    auto context = SecureChannel::CreateClientContext();
    Steps steps;
    auto result = SecureChannel::ConnectSession(
        *context, folder.file(QStringLiteral("clientcalist.pem")), LocalhostAddress, closedPort,
        [&](Step step) { steps.push_back(step); });
    EXPECT_FALSE(result.session);
    EXPECT_EQ(result.failure, Failure::Connect);
    EXPECT_TRUE(steps.empty());
}

TEST(ConnectSession, PeerThatIsNoTlsServerFailsTheHandshake)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    LoopbackListener listener;
    std::thread server([&] {
        const int fd = listener.Accept();
        const char notTls[] = "HTTP/1.0 400 Bad Request\r\n\r\n";
        (void)::write(fd, notTls, sizeof notTls - 1);
        ::close(fd);
    });
    auto context = SecureChannel::CreateClientContext();
    Steps steps;
    auto result = SecureChannel::ConnectSession(
        *context, folder.file(QStringLiteral("clientcalist.pem")), LocalhostAddress,
        listener.port(), [&](Step step) { steps.push_back(step); });
    server.join();
    EXPECT_FALSE(result.session);
    EXPECT_EQ(result.failure, Failure::HandShake);
    EXPECT_EQ(steps, Steps({Step::HandShaking}));
}

TEST(ServerContext, NeedsReadableCertificateAndMatchingKey)
{
    TempFolder source;
    ASSERT_TRUE(tc::WriteServerFiles(source.path(), tc::SharedAuthority()));
    const auto other = certificates::MakeServerCertificate(tc::SharedAuthority(),
                                                           QStringLiteral("other"), -60, Day);
    ASSERT_TRUE(other);
    QFile certFile(source.file(QStringLiteral("servercert.pem")));
    QFile keyFile(source.file(QStringLiteral("serverkey.pem")));
    ASSERT_TRUE(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
    const QByteArray cert = certFile.readAll();
    const QByteArray key = keyFile.readAll();

    struct Case
    {
        const char* name;
        QByteArray cert; // null: no file
        QByteArray key;
        bool builds;
    } cases[] = {
        {"matching pair", cert, key, true},
        {"no certificate file", {}, key, false},
        {"no key file", cert, {}, false},
        {"key of another certificate", cert, other->privateKeyPem, false},
        {"certificate file not PEM", "not a certificate", key, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        if (!c.cert.isNull())
            folder.write(QStringLiteral("servercert.pem"), c.cert);
        if (!c.key.isNull())
            folder.write(QStringLiteral("serverkey.pem"), c.key);
        EXPECT_EQ(ServerContextOf(folder.path()) != nullptr, c.builds);
    }
}

TEST(CipherText, KeepsAtMostTwoSpacesAndDropsTheLastCharacter)
{
    const struct
    {
        QByteArray description;
        QString shown;
    } cases[] = {
        {"TLS_AES_256_GCM_SHA384         TLSv1.3 Kx=any      Au=any   Enc=AESGCM(256)"
         "            Mac=AEAD\n",
         QStringLiteral(
             "TLS_AES_256_GCM_SHA384  TLSv1.3 Kx=any  Au=any  Enc=AESGCM(256)  Mac=AEAD")},
        {"a b  c   d\n", QStringLiteral("a b  c  d")},
        {"    lead\n", QStringLiteral("  lead")},
        {"no break", QStringLiteral("no brea")},
        {"trailing   \n", QStringLiteral("trailing  ")},
        {"\n", QString()},
        {"", QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SecureChannel::CipherTextFromDescription(c.description), c.shown)
            << c.description.constData();
}

TEST(WorkerStop, CutsAStalledClientHandshakeShort)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    LoopbackListener silentServer; // the system completes the TCP handshake; nobody speaks
    auto context = SecureChannel::CreateClientContext();
    WorkerStop stop;
    std::atomic<bool> handshaking{false};
    SecureChannel::ConnectResult result;
    std::thread worker([&] {
        result = SecureChannel::ConnectSession(
            *context, folder.file(QStringLiteral("clientcalist.pem")), LocalhostAddress,
            silentServer.port(), [&](Step) { handshaking = true; }, &stop);
    });
    ASSERT_TRUE(WaitUntil([&] { return handshaking.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let it block in the handshake
    stop.RequestStop();
    worker.join();
    EXPECT_FALSE(result.session);
    EXPECT_EQ(result.failure, Failure::HandShake);
}

TEST(WorkerStop, CutsAStalledServerHandshakeShort)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    auto context = ServerContextOf(folder.path());
    ASSERT_TRUE(context);
    LoopbackListener listener;
    // A client that connects and never says a word.
    const int silentClient = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(listener.port());
    address.sin_addr.s_addr = htonl(LocalhostAddress);
    ASSERT_EQ(::connect(silentClient, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    WorkerStop stop;
    std::atomic<bool> accepting{false};
    std::unique_ptr<TlsSession> session;
    std::thread worker([&] {
        const int fd = listener.Accept();
        accepting = true;
        session = SecureChannel::AcceptSession(*context, fd, &stop);
    });
    ASSERT_TRUE(WaitUntil([&] { return accepting.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.RequestStop();
    worker.join();
    EXPECT_FALSE(session);
    ::close(silentClient);
}

TEST(WorkerStop, StopRequestedEarlierPreventsTheConnection)
{
    TempFolder folder;
    ASSERT_TRUE(tc::WriteProfileCertificates(folder.path()));
    LoopbackListener listener;
    auto context = SecureChannel::CreateClientContext();
    WorkerStop stop;
    stop.RequestStop();
    auto result =
        SecureChannel::ConnectSession(*context, folder.file(QStringLiteral("clientcalist.pem")),
                                      LocalhostAddress, listener.port(), {}, &stop);
    EXPECT_FALSE(result.session);
    EXPECT_EQ(result.failure, Failure::Connect);
    EXPECT_FALSE(listener.HasPendingConnection());
}

TEST(SecureChannel, DottedAddress)
{
    EXPECT_EQ(SecureChannel::DottedAddress(LocalhostAddress), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(SecureChannel::DottedAddress(0xC0A80A01), QStringLiteral("192.168.10.1"));
    EXPECT_EQ(SecureChannel::DottedAddress(0), QStringLiteral("0.0.0.0"));
}

} // namespace
} // namespace vantrel::test
