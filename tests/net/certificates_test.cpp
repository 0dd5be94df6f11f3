#include "net/certificates.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace vantrel::test {
namespace {

using certificates::PemPair;

TEST(Certificates, ServerCertificateNamesTheLocalHostAndItsAuthority)
{
    const PemPair& authority = testcertificates::SharedAuthority();
    const auto server =
        certificates::MakeServerCertificate(authority, QStringLiteral("pc-7.lan"), -60, 3600);
    ASSERT_TRUE(server);
    BIO* bio = BIO_new_mem_buf(server->certificatePem.constData(),
                               static_cast<int>(server->certificatePem.size()));
    X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    ASSERT_TRUE(cert);
    EXPECT_EQ(X509_check_host(cert, "localhost", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_host(cert, "pc-7.lan", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_ip_asc(cert, "127.0.0.1", 0), 1);
    EXPECT_EQ(X509_check_ca(cert), 0);
    X509_free(cert);
    BIO_free(bio);

    EXPECT_EQ(certificates::SubjectText(server->certificatePem), QStringLiteral("CN=pc-7.lan"));
    EXPECT_EQ(certificates::SubjectText(authority.certificatePem),
              QStringLiteral("CN=Vantrel Test Authority"));
}

TEST(Certificates, ServerCertificateNeedsTheAuthoritysOwnKey)
{
    const PemPair& authority = testcertificates::SharedAuthority();
    const PemPair other = testcertificates::NewAuthority(QStringLiteral("Other"));
    const PemPair mixed{authority.certificatePem, other.privateKeyPem};
    EXPECT_FALSE(certificates::MakeServerCertificate(mixed, QStringLiteral("x"), 0, 60));
    EXPECT_FALSE(certificates::MakeServerCertificate({"junk", "junk"}, QStringLiteral("x"), 0, 60));
}

TEST(Certificates, BundlesSplitIntoParseableCertificates)
{
    const PemPair a = testcertificates::NewAuthority(QStringLiteral("A"));
    const PemPair b = testcertificates::NewAuthority(QStringLiteral("B"));
    const QByteArray damaged = "-----BEGIN CERTIFICATE-----\nAAAA!!notbase64\n"
                               "-----END CERTIFICATE-----\n";
    const QByteArray bundle = "leading text\n" + a.certificatePem + damaged + b.certificatePem;

    const QList<QByteArray> parts = certificates::SplitPemCertificates(bundle);
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(certificates::Fingerprint(parts[0]), certificates::Fingerprint(a.certificatePem));
    EXPECT_EQ(certificates::Fingerprint(parts[1]), certificates::Fingerprint(b.certificatePem));
    EXPECT_NE(certificates::Fingerprint(parts[0]), certificates::Fingerprint(parts[1]));

    EXPECT_TRUE(certificates::IsPemCertificate(bundle));
    EXPECT_FALSE(certificates::IsPemCertificate(damaged));
    EXPECT_FALSE(certificates::IsPemCertificate(a.privateKeyPem));
    EXPECT_FALSE(certificates::IsPemCertificate({}));
    EXPECT_TRUE(certificates::Fingerprint("junk").isEmpty());
}

TEST(Certificates, FingerprintIsColonSeparatedUpperCaseSha256)
{
    const QString fingerprint =
        certificates::Fingerprint(testcertificates::SharedAuthority().certificatePem);
    ASSERT_EQ(fingerprint.size(), 32 * 3 - 1);
    for (int i = 0; i < fingerprint.size(); ++i) {
        const QChar c = fingerprint[i];
        if (i % 3 == 2)
            EXPECT_EQ(c, QLatin1Char(':'));
        else
            EXPECT_TRUE(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))) << i;
    }
}

TEST(Certificates, ReadableFingerprintIsTheSameDigitsInTwoLinesOfEightGroups)
{
    const QByteArray pem = testcertificates::SharedAuthority().certificatePem;
    const QString readable = certificates::ReadableFingerprint(pem);
    const QStringList lines = readable.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    for (const QString& line : lines) {
        const QStringList groups = line.split(QLatin1Char(' '));
        EXPECT_EQ(groups.size(), 8);
        for (const QString& group : groups)
            EXPECT_EQ(group.size(), 4);
    }
    EXPECT_EQ(QString(readable).remove(QRegularExpression(QStringLiteral("\\s"))),
              certificates::Fingerprint(pem).remove(QLatin1Char(':')));
    EXPECT_TRUE(certificates::ReadableFingerprint("junk").isEmpty());
}

TEST(Certificates, IssuerIsTheAuthorityWhoseKeySignedTheCertificate)
{
    const certificates::PemPair& shared = testcertificates::SharedAuthority();
    const certificates::PemPair other = testcertificates::NewAuthority(QStringLiteral("other"));
    const auto server =
        certificates::MakeServerCertificate(shared, QStringLiteral("host"), 0, 3600);
    ASSERT_TRUE(server);
    EXPECT_TRUE(certificates::IsIssuerOf(shared.certificatePem, server->certificatePem));
    EXPECT_FALSE(certificates::IsIssuerOf(other.certificatePem, server->certificatePem));
    // A certificate that is no authority signs nothing, not even itself.
    EXPECT_FALSE(certificates::IsIssuerOf(server->certificatePem, server->certificatePem));
    EXPECT_FALSE(certificates::IsIssuerOf("junk", server->certificatePem));
}

TEST(Certificates, PrivateFilesAreOwnerOnlyEvenWhenTheyExisted)
{
    TempFolder folder;
    const QString fresh = folder.file(QStringLiteral("fresh.pem"));
    const QString existing = folder.file(QStringLiteral("existing.pem"));
    folder.write(QStringLiteral("existing.pem"), "old and longer content");
    QFile::setPermissions(existing, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther);
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    for (const QString& path : {fresh, existing}) {
        ASSERT_TRUE(certificates::WritePrivateFile(path, "secret"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("secret"));
        EXPECT_EQ(file.permissions() & ~(QFile::ReadUser | QFile::WriteUser), ownerOnly)
            << path.toStdString();
    }
    EXPECT_FALSE(certificates::WritePrivateFile(folder.file(QStringLiteral("no/such/dir")), "x"));
}

} // namespace
} // namespace vantrel::test
