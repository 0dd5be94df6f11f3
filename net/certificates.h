#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantrel {

// Certificates made with the TLS library's own API (no external tool): a private
// certificate authority per profile and a server certificate signed by it. Also used by
// the tests to make trusted, expired and untrusted chains.
namespace certificates {

struct PemPair
{
    QByteArray certificatePem;
    QByteArray privateKeyPem;
};

// A self-signed authority (CA:TRUE), valid from `notBeforeSeconds` to `notAfterSeconds`
// relative to now.
std::optional<PemPair> MakeAuthority(const QString& commonName, std::int64_t notBeforeSeconds,
                                     std::int64_t notAfterSeconds);

// A server certificate for `commonName` signed by `authority`, validity relative to now.
std::optional<PemPair> MakeServerCertificate(const PemPair& authority, const QString& commonName,
                                             std::int64_t notBeforeSeconds,
                                             std::int64_t notAfterSeconds);

// True when the bytes hold at least one PEM certificate that parses.
bool IsPemCertificate(const QByteArray& pem);
// The certificates of a PEM bundle, each re-encoded as PEM (unparseable blocks skipped).
QList<QByteArray> SplitPemCertificates(const QByteArray& pem);
// SHA-256 fingerprint of a PEM certificate as "AB:CD:...", or empty.
QString Fingerprint(const QByteArray& certificatePem);
// The same fingerprint for people to read aloud and compare: 64 upper-case hex digits in
// 16 groups of four, eight groups to a line ("1A2B 3C4D ...\n..."); empty when there is none.
QString ReadableFingerprint(const QByteArray& certificatePem);
// True when the certificate may sign others (CA:TRUE, or an old self-signed one without
// extensions): only such a certificate in the trust list lets a connection be verified.
bool IsAuthority(const QByteArray& certificatePem);
// True when `authorityPem` is an authority (CA:TRUE) whose key verifies the signature of
// `certificatePem`.
bool IsIssuerOf(const QByteArray& authorityPem, const QByteArray& certificatePem);
// The subject line, for messages.
QString SubjectText(const QByteArray& certificatePem);

// Writes a file with owner-only permissions (private keys).
bool WritePrivateFile(const QString& path, const QByteArray& bytes);

} // namespace certificates

} // namespace vantrel
