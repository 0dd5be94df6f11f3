#include "net/securechannel.h"

#include "net/certificates.h"
#include "net/linkliveness.h"
#include "net/opensslhandles.h"
#include "net/tlssessionimpl.h"
#include "net/workerstop.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/pem.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace vantrel {

struct ServerContext::Impl
{
    ossl::SslCtxPtr ctx;
};

struct ClientContext::Impl
{
    ossl::SslCtxPtr ctx;
};

ServerContext::ServerContext(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
ServerContext::~ServerContext() = default;
ClientContext::ClientContext(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
ClientContext::~ClientContext() = default;

namespace {

// Received bytes are pulled from the socket in chunks this large, so that a stream of
// small records costs few system calls.
constexpr int ReadBufferBytes = 64 * 1024;
// How often a connect in progress looks at its stop flag.
constexpr int ConnectPollMs = 100;

// Closes a socket unless ownership was handed on.
class SocketGuard
{
public:
    explicit SocketGuard(int fd) : m_fd(fd) {}
    ~SocketGuard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Lets a WorkerStop reach the socket while one blocking step runs.
class StopAttachment
{
public:
    StopAttachment(WorkerStop* stop, int fd) : m_stop(stop)
    {
        if (m_stop)
            m_stop->AttachSocket(fd);
    }
    ~StopAttachment() { Detach(); }
    StopAttachment(const StopAttachment&) = delete;
    StopAttachment& operator=(const StopAttachment&) = delete;
    void Detach()
    {
        if (m_stop)
            m_stop->DetachSocket();
        m_stop = nullptr;
    }

private:
    WorkerStop* m_stop;
};

// An expired certificate is accepted by design, but the library stops checking at the
// first error it meets, which would skip the signatures below an expired authority.
// Carrying on past expiry keeps every other check; the result still reads "expired".
int KeepVerifyingPastExpiry(int ok, X509_STORE_CTX* store)
{
    if (!ok && X509_STORE_CTX_get_error(store) == X509_V_ERR_CERT_HAS_EXPIRED)
        return 1;
    return ok;
}

// Every peer runs a current library; older protocol versions only weaken the channel.
void TuneContext(SSL_CTX* ctx)
{
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
}

// Binds the session to the socket with a buffering reader under TLS. It does what the
// library's read-ahead is for (many records per system call) without the read-ahead's cost
// here: the library moves the unread rest of its buffer after every record to align the
// next one, which made up a fifth of the time of a stream of 1 KiB records.
bool BindSocket(SSL* ssl, int fd)
{
    ossl::BioPtr readSocket(BIO_new_socket(fd, BIO_NOCLOSE));
    ossl::BioPtr reader(BIO_new(BIO_f_buffer()));
    ossl::BioPtr writeSocket(BIO_new_socket(fd, BIO_NOCLOSE));
    if (!readSocket || !reader || !writeSocket ||
        BIO_set_read_buffer_size(reader.get(), ReadBufferBytes) <= 0)
        return false;
    BIO_push(reader.get(), readSocket.release());
    SSL_set0_rbio(ssl, reader.release());
    SSL_set0_wbio(ssl, writeSocket.release());
    return true;
}

// Request and reply records are small and each side waits for the other's: they must
// leave at once. Bulk data is gathered by the session's write buffer instead.
void SetNoDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool SetBlocking(int fd, bool blocking)
{
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0)
        return false;
    return ::fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

// A connect that keeps an eye on the stop flag: shutting down a socket that is still
// connecting does not wake the caller everywhere.
bool ConnectSocket(int fd, std::uint32_t ipv4HostOrder, std::uint16_t port, WorkerStop* stop)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(ipv4HostOrder);
    if ((stop && stop->StopRequested()) || !SetBlocking(fd, false))
        return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS)
            return false;
        for (;;) {
            if (stop && stop->StopRequested())
                return false;
            pollfd entry{fd, POLLOUT, 0};
            const int ready = ::poll(&entry, 1, stop ? ConnectPollMs : -1);
            if (ready < 0 && errno != EINTR)
                return false;
            if (ready > 0)
                break;
        }
        if (stop && stop->StopRequested())
            return false;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return false;
    }
    return SetBlocking(fd, true);
}

QByteArray PemOf(X509* certificate)
{
    ossl::BioPtr out(BIO_new(BIO_s_mem()));
    if (!certificate || !out || PEM_write_bio_X509(out.get(), certificate) != 1)
        return {};
    char* data = nullptr;
    const long length = BIO_get_mem_data(out.get(), &data);
    return length > 0 ? QByteArray(data, static_cast<qsizetype>(length)) : QByteArray();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Adds the profile's authority to a context whose certificate file holds the server's own
// certificate alone (profiles made before the authority was presented).
void PresentAuthority(SSL_CTX* ctx, const QString& certFile, const QString& authorityFile)
{
    if (authorityFile.isEmpty())
        return;
    STACK_OF(X509)* chain = nullptr;
    if (SSL_CTX_get0_chain_certs(ctx, &chain) != 1 || (chain && sk_X509_num(chain) > 0))
        return;
    const QList<QByteArray> own = certificates::SplitPemCertificates(ReadFile(certFile));
    const QList<QByteArray> authority = certificates::SplitPemCertificates(ReadFile(authorityFile));
    if (own.isEmpty() || authority.isEmpty() ||
        !certificates::IsIssuerOf(authority.first(), own.first()))
        return;
    ossl::BioPtr bio(
        BIO_new_mem_buf(authority.first().constData(), static_cast<int>(authority.first().size())));
    ossl::X509Ptr cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (cert)
        SSL_CTX_add1_chain_cert(ctx, cert.get());
}

// What a server that failed verification presented: its certificate, and the authority
// among the rest of its chain whose key verifies that certificate's signature, so that a
// fingerprint shown for it belongs to the one that signed the server's certificate.
void KeepPresented(SSL* ssl, X509* leaf, SecureChannel::ConnectResult& result)
{
    result.presentedCertificate = PemOf(leaf);
    STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl);
    for (int i = 0; chain && i < sk_X509_num(chain); ++i) {
        X509* candidate = sk_X509_value(chain, i);
        if (candidate == leaf || X509_cmp(candidate, leaf) == 0)
            continue;
        const QByteArray pem = PemOf(candidate);
        if (certificates::IsIssuerOf(pem, result.presentedCertificate)) {
            result.presentedAuthority = pem;
            break;
        }
    }
    ERR_clear_error();
}

void PeerOf(int fd, std::uint32_t& address, std::uint16_t& port)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
        peer.sin_family == AF_INET) {
        address = ntohl(peer.sin_addr.s_addr);
        port = ntohs(peer.sin_port);
    }
}

} // namespace

namespace SecureChannel {

bool Bind()
{
    // A peer that closes while we write is an ordinary event, reported by the write's
    // result; it must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    return OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS,
                            nullptr) == 1;
}

void Unbind()
{
    // The library releases itself at process exit; releasing it earlier would forbid any
    // later use in the same process.
}

std::unique_ptr<ServerContext> CreateServerContext(const QString& certFile, const QString& keyFile,
                                                   const QString& authorityFile)
{
    if (!Bind())
        return nullptr;
    ossl::SslCtxPtr ctx(SSL_CTX_new(TLS_server_method()));
    const QByteArray cert = QFile::encodeName(certFile);
    const QByteArray key = QFile::encodeName(keyFile);
    // The certificate file may carry intermediate authorities after the server's own.
    const bool ok = ctx && SSL_CTX_use_certificate_chain_file(ctx.get(), cert.constData()) > 0 &&
                    SSL_CTX_use_PrivateKey_file(ctx.get(), key.constData(), SSL_FILETYPE_PEM) > 0 &&
                    SSL_CTX_check_private_key(ctx.get()) != 0;
    if (ok)
        PresentAuthority(ctx.get(), certFile, authorityFile);
    ERR_clear_error();
    if (!ok)
        return nullptr;
    TuneContext(ctx.get());
    // Clients never resume sessions: no tickets, no cache.
    SSL_CTX_set_num_tickets(ctx.get(), 0);
    SSL_CTX_set_options(ctx.get(), SSL_OP_NO_TICKET);
    SSL_CTX_set_session_cache_mode(ctx.get(), SSL_SESS_CACHE_OFF);
    auto impl = std::make_unique<ServerContext::Impl>();
    impl->ctx = std::move(ctx);
    return std::make_unique<ServerContext>(std::move(impl));
}

std::unique_ptr<TlsSession> AcceptSession(ServerContext& context, int socketFd, WorkerStop* stop)
{
    SocketGuard socket(socketFd);
    if (socketFd < 0)
        return nullptr;
    SetNoDelay(socketFd);
    LinkLiveness::Watch(socketFd);
    ossl::SslPtr ssl(SSL_new(context.impl()->ctx.get()));
    if (!ssl || !BindSocket(ssl.get(), socketFd)) {
        ERR_clear_error();
        return nullptr;
    }
    StopAttachment attachment(stop, socketFd);
    const bool ok = SSL_accept(ssl.get()) == 1;
    attachment.Detach();
    ERR_clear_error();
    if (!ok)
        return nullptr;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    PeerOf(socketFd, address, port);
    return std::make_unique<TlsSession>(
        std::make_unique<TlsSession::Impl>(std::move(ssl), socket.release(), address, port));
}

std::unique_ptr<ClientContext> CreateClientContext()
{
    if (!Bind())
        return nullptr;
    ossl::SslCtxPtr ctx(SSL_CTX_new(TLS_client_method()));
    if (!ctx) {
        ERR_clear_error();
        return nullptr;
    }
    TuneContext(ctx.get());
    // No verification mode: the handshake never fails on the certificate; ConnectSession
    // judges the verification result afterwards.
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_NONE, KeepVerifyingPastExpiry);
    auto impl = std::make_unique<ClientContext::Impl>();
    impl->ctx = std::move(ctx);
    return std::make_unique<ClientContext>(std::move(impl));
}

ConnectResult ConnectSession(ClientContext& context, const QString& trustListFile,
                             std::uint32_t ipv4HostOrder, std::uint16_t port,
                             const std::function<void(ConnectStep)>& step, WorkerStop* stop)
{
    ConnectResult result;
    SSL_CTX* ctx = context.impl()->ctx.get();

    const QByteArray trustList = QFile::encodeName(trustListFile);
    if (SSL_CTX_load_verify_locations(ctx, trustList.constData(), nullptr) != 1) {
        ERR_clear_error();
        result.failure = ConnectFailure::TrustList;
        return result;
    }

    SocketGuard socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    StopAttachment attachment(stop, socket.get());
    if (socket.get() < 0 || !ConnectSocket(socket.get(), ipv4HostOrder, port, stop)) {
        attachment.Detach();
        result.failure = ConnectFailure::Connect;
        return result;
    }
    SetNoDelay(socket.get());
    LinkLiveness::Watch(socket.get());

    if (step)
        step(ConnectStep::HandShaking);
    ossl::SslPtr ssl(SSL_new(ctx));
    const bool handshaken =
        ssl && BindSocket(ssl.get(), socket.get()) && SSL_connect(ssl.get()) == 1;
    attachment.Detach();
    if (!handshaken) {
        ERR_clear_error();
        result.failure = ConnectFailure::HandShake;
        return result;
    }

    const ossl::X509Ptr certificate(SSL_get1_peer_certificate(ssl.get()));
    const long verification = SSL_get_verify_result(ssl.get());
    const bool verified =
        certificate && (verification == X509_V_OK || verification == X509_V_ERR_CERT_HAS_EXPIRED);
    if (certificate && !verified)
        KeepPresented(ssl.get(), certificate.get(), result);
    auto session = std::make_unique<TlsSession>(
        std::make_unique<TlsSession::Impl>(std::move(ssl), socket.release(), ipv4HostOrder, port));
    // Without a certificate the result would read "no error"; that is no proof of anything.
    if (!verified) {
        session->Close();
        result.failure = ConnectFailure::Verification;
        return result;
    }
    if (step)
        step(ConnectStep::Verified);
    result.session = std::move(session);
    return result;
}

QString DottedAddress(std::uint32_t ipv4HostOrder)
{
    in_addr address{};
    address.s_addr = htonl(ipv4HostOrder);
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address, text, sizeof text))
        return {};
    return QString::fromLatin1(text);
}

QString CipherTextFromDescription(const QByteArray& description)
{
    QByteArray text = description;
    text.chop(1); // the description's closing line break
    QByteArray shown;
    shown.reserve(text.size());
    int spaces = 0;
    for (const char c : text) {
        spaces = c == ' ' ? spaces + 1 : 0;
        if (spaces <= 2)
            shown.append(c);
    }
    return QString::fromLatin1(shown);
}

} // namespace SecureChannel

} // namespace vantrel
