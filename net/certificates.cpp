#include "net/certificates.h"

#include "net/opensslhandles.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace vantrel::certificates {

namespace {

// Longest common name a certificate may carry (characters).
constexpr int MaxCommonName = 64;

QByteArray BioBytes(BIO* bio)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? QByteArray(data, static_cast<qsizetype>(length)) : QByteArray();
}

ossl::BioPtr ReadBio(const QByteArray& bytes)
{
    return ossl::BioPtr(BIO_new_mem_buf(bytes.constData(), static_cast<int>(bytes.size())));
}

ossl::X509Ptr ParseCertificate(const QByteArray& pem)
{
    ossl::BioPtr bio = ReadBio(pem);
    return ossl::X509Ptr(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

ossl::PkeyPtr ParseKey(const QByteArray& pem)
{
    ossl::BioPtr bio = ReadBio(pem);
    return ossl::PkeyPtr(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                             : nullptr);
}

// EC P-256: as strong as RSA-3072 and fast to generate.
ossl::PkeyPtr NewKey()
{
    return ossl::PkeyPtr(EVP_EC_gen("P-256"));
}

bool SetSubject(X509* cert, const QString& commonName)
{
    const QByteArray cn = commonName.left(MaxCommonName).toUtf8();
    X509_NAME* name = X509_get_subject_name(cert);
    return X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>(cn.constData()),
                                      static_cast<int>(cn.size()), -1, 0) == 1;
}

bool SetRandomSerial(X509* cert)
{
    ossl::BignumPtr serial(BN_new());
    // 63 random bits: unpredictable, positive, and within the 20 bytes a serial may take.
    if (!serial || BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1)
        return false;
    return BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert)) != nullptr;
}

bool AddExtension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    ossl::ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(cert, extension.get(), -1) == 1;
}

// A common name worth naming as a DNS entry too: a plain host name.
bool LooksLikeHostName(const QString& name)
{
    if (name.isEmpty() || name.size() > 253 || name == QLatin1String("localhost"))
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') &&
            c != QLatin1Char('.'))
            return false;
    }
    return true;
}

// A certificate skeleton: version 3, random serial, subject, validity, public key.
ossl::X509Ptr NewCertificate(const QString& commonName, EVP_PKEY* key,
                             std::int64_t notBeforeSeconds, std::int64_t notAfterSeconds)
{
    ossl::X509Ptr cert(X509_new());
    if (!cert || X509_set_version(cert.get(), X509_VERSION_3) != 1 ||
        !SetRandomSerial(cert.get()) || !SetSubject(cert.get(), commonName) ||
        !X509_gmtime_adj(X509_getm_notBefore(cert.get()), static_cast<long>(notBeforeSeconds)) ||
        !X509_gmtime_adj(X509_getm_notAfter(cert.get()), static_cast<long>(notAfterSeconds)) ||
        X509_set_pubkey(cert.get(), key) != 1)
        return nullptr;
    return cert;
}

std::optional<PemPair> ToPem(X509* cert, EVP_PKEY* key)
{
    ossl::BioPtr certBio(BIO_new(BIO_s_mem()));
    ossl::BioPtr keyBio(BIO_new(BIO_s_mem()));
    if (!certBio || !keyBio || PEM_write_bio_X509(certBio.get(), cert) != 1 ||
        PEM_write_bio_PrivateKey(keyBio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return std::nullopt;
    return PemPair{BioBytes(certBio.get()), BioBytes(keyBio.get())};
}

std::optional<PemPair> Finish(std::optional<PemPair> result)
{
    ERR_clear_error();
    return result;
}

} // namespace

std::optional<PemPair> MakeAuthority(const QString& commonName, std::int64_t notBeforeSeconds,
                                     std::int64_t notAfterSeconds)
{
    ossl::PkeyPtr key = NewKey();
    if (!key)
        return Finish(std::nullopt);
    ossl::X509Ptr cert = NewCertificate(commonName, key.get(), notBeforeSeconds, notAfterSeconds);
    X509* c = cert.get();
    if (!c || X509_set_issuer_name(c, X509_get_subject_name(c)) != 1 ||
        !AddExtension(c, c, NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(c, c, NID_key_usage, "critical,keyCertSign,cRLSign") ||
        !AddExtension(c, c, NID_subject_key_identifier, "hash") ||
        !AddExtension(c, c, NID_authority_key_identifier, "keyid:always") ||
        X509_sign(c, key.get(), EVP_sha256()) <= 0)
        return Finish(std::nullopt);
    return Finish(ToPem(c, key.get()));
}

std::optional<PemPair> MakeServerCertificate(const PemPair& authority, const QString& commonName,
                                             std::int64_t notBeforeSeconds,
                                             std::int64_t notAfterSeconds)
{
    ossl::X509Ptr issuer = ParseCertificate(authority.certificatePem);
    ossl::PkeyPtr issuerKey = ParseKey(authority.privateKeyPem);
    ossl::PkeyPtr key = NewKey();
    if (!issuer || !issuerKey || !key || X509_check_private_key(issuer.get(), issuerKey.get()) != 1)
        return Finish(std::nullopt);
    ossl::X509Ptr cert = NewCertificate(commonName, key.get(), notBeforeSeconds, notAfterSeconds);
    X509* c = cert.get();
    QByteArray altNames = "DNS:localhost,IP:127.0.0.1";
    if (LooksLikeHostName(commonName))
        altNames += ",DNS:" + commonName.toLatin1();
    if (!c || X509_set_issuer_name(c, X509_get_subject_name(issuer.get())) != 1 ||
        !AddExtension(c, issuer.get(), NID_basic_constraints, "CA:FALSE") ||
        !AddExtension(c, issuer.get(), NID_key_usage,
                      "critical,digitalSignature,keyEncipherment") ||
        !AddExtension(c, issuer.get(), NID_ext_key_usage, "serverAuth") ||
        !AddExtension(c, issuer.get(), NID_subject_alt_name, altNames.constData()) ||
        !AddExtension(c, issuer.get(), NID_subject_key_identifier, "hash") ||
        !AddExtension(c, issuer.get(), NID_authority_key_identifier, "keyid:always") ||
        X509_sign(c, issuerKey.get(), EVP_sha256()) <= 0)
        return Finish(std::nullopt);
    return Finish(ToPem(c, key.get()));
}

bool IsPemCertificate(const QByteArray& pem)
{
    return !SplitPemCertificates(pem).isEmpty();
}

QList<QByteArray> SplitPemCertificates(const QByteArray& pem)
{
    // Each block is parsed on its own, so one damaged block does not hide the rest.
    static const QByteArray Begin = "-----BEGIN CERTIFICATE-----";
    static const QByteArray End = "-----END CERTIFICATE-----";
    QList<QByteArray> result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype begin = pem.indexOf(Begin, from);
        if (begin < 0)
            break;
        const qsizetype end = pem.indexOf(End, begin + Begin.size());
        if (end < 0)
            break;
        from = end + End.size();
        ossl::X509Ptr cert = ParseCertificate(pem.mid(begin, from - begin) + '\n');
        ossl::BioPtr out(BIO_new(BIO_s_mem()));
        if (cert && out && PEM_write_bio_X509(out.get(), cert.get()) == 1)
            result.append(BioBytes(out.get()));
    }
    ERR_clear_error();
    return result;
}

QString Fingerprint(const QByteArray& certificatePem)
{
    ossl::X509Ptr cert = ParseCertificate(certificatePem);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool ok = cert && X509_digest(cert.get(), EVP_sha256(), digest, &length) == 1;
    ERR_clear_error();
    if (!ok)
        return {};
    QByteArray hex = QByteArray(reinterpret_cast<const char*>(digest), length).toHex(':');
    return QString::fromLatin1(hex.toUpper());
}

QString ReadableFingerprint(const QByteArray& certificatePem)
{
    QString hex = Fingerprint(certificatePem);
    hex.remove(QLatin1Char(':'));
    QString text;
    for (qsizetype at = 0; at < hex.size(); at += 4) {
        if (at > 0)
            text += at % 32 == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
        text += hex.mid(at, 4);
    }
    return text;
}

bool IsAuthority(const QByteArray& certificatePem)
{
    ossl::X509Ptr cert = ParseCertificate(certificatePem);
    const bool ok = cert && X509_check_ca(cert.get()) > 0;
    ERR_clear_error();
    return ok;
}

bool IsIssuerOf(const QByteArray& authorityPem, const QByteArray& certificatePem)
{
    ossl::X509Ptr authority = ParseCertificate(authorityPem);
    ossl::X509Ptr cert = ParseCertificate(certificatePem);
    EVP_PKEY* key = authority ? X509_get0_pubkey(authority.get()) : nullptr;
    const bool ok =
        cert && key && X509_check_ca(authority.get()) > 0 && X509_verify(cert.get(), key) == 1;
    ERR_clear_error();
    return ok;
}

QString SubjectText(const QByteArray& certificatePem)
{
    ossl::X509Ptr cert = ParseCertificate(certificatePem);
    ossl::BioPtr out(BIO_new(BIO_s_mem()));
    // Names kept in UTF-8 rather than escaped.
    const unsigned long flags = XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB;
    const bool ok = cert && out &&
                    X509_NAME_print_ex(out.get(), X509_get_subject_name(cert.get()), 0, flags) >= 0;
    ERR_clear_error();
    return ok ? QString::fromUtf8(BioBytes(out.get())) : QString();
}

bool WritePrivateFile(const QString& path, const QByteArray& bytes)
{
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile file(path);
    // Created owner-only; an existing file is narrowed before anything is written to it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate, ownerOnly))
        return false;
    if (!file.setPermissions(ownerOnly))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace vantrel::certificates
