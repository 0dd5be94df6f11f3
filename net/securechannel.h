#pragma once

#include "net/clientcontext.h"
#include "net/servercontext.h"
#include "net/tlssession.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace vantrel {

class WorkerStop;

// The program's thin layer over the TLS library.
namespace SecureChannel {

// Initialises the library and the socket layer (SIGPIPE ignored). False ends start-up.
bool Bind();
void Unbind();

// Server certificate and key in PEM; nothing when either is missing or they do not match.
// The server presents its authority after its certificate, so that a client that does not
// trust it yet can show whom it would be trusting: when the certificate file holds only the
// server's own certificate, `authorityFile` (when given, readable and the issuer of that
// certificate) is added to the presented chain. The files themselves are left as they are.
std::unique_ptr<ServerContext> CreateServerContext(const QString& certFile, const QString& keyFile,
                                                   const QString& authorityFile = QString());

// Server handshake on an accepted socket. Takes the socket: on failure it is closed.
// The stop, when given, lets another thread cut a stalled handshake short; the socket is
// attached to it only while the handshake runs. The socket is watched for a vanished peer
// (LinkLiveness).
std::unique_ptr<TlsSession> AcceptSession(ServerContext& context, int socketFd,
                                          WorkerStop* stop = nullptr);

std::unique_ptr<ClientContext> CreateClientContext();

// How far a client handshake has come; the caller words it.
enum class ConnectStep
{
    HandShaking, // connected, the TLS handshake begins
    Verified,    // handshake and certificate check passed
};

// Where a client handshake failed; the caller words it.
enum class ConnectFailure
{
    None,
    TrustList,    // the trust list could not be loaded
    Connect,      // no TCP connection
    HandShake,    // the TLS handshake failed
    Verification, // the server's certificate did not pass
};

struct ConnectResult
{
    std::unique_ptr<TlsSession> session; // set on success
    ConnectFailure failure = ConnectFailure::None;
    // On a Verification failure, what the server presented (PEM): its certificate, and the
    // authority among the certificates it sent that signed it (empty when it sent none).
    QByteArray presentedCertificate;
    QByteArray presentedAuthority;
};

// The client handshake: trust list, TCP connection, TLS handshake, certificate check
// (a verification result of 0 or 10 passes; no certificate fails). `step` hears how far it
// has come; a failure says where. `stop` may cut a blocked connect or
// handshake short; the socket is attached to it only during the call (attach the session's
// socket again to make later blocking reads stoppable). A server that fails verification
// gets a TLS close and never a record. Once connected, the socket is watched for a vanished
// peer (LinkLiveness).
ConnectResult ConnectSession(ClientContext& context, const QString& trustListFile,
                             std::uint32_t ipv4HostOrder, std::uint16_t port,
                             const std::function<void(ConnectStep)>& step,
                             WorkerStop* stop = nullptr);

// Text of an IPv4 address in host byte order, as "a.b.c.d".
QString DottedAddress(std::uint32_t ipv4HostOrder);

// The cipher-text rule on a raw description (exposed for testing).
QString CipherTextFromDescription(const QByteArray& description);

} // namespace SecureChannel

} // namespace vantrel
