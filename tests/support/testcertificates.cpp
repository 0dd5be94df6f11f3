#include "tests/support/testcertificates.h"

#include <QFile>

namespace vantrel::test::testcertificates {

namespace {

constexpr std::int64_t Day = 24 * 3600;

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

const certificates::PemPair& SharedAuthority()
{
    static const certificates::PemPair authority =
        NewAuthority(QStringLiteral("Vantrel Test Authority"));
    return authority;
}

certificates::PemPair NewAuthority(const QString& commonName)
{
    return certificates::MakeAuthority(commonName, -Day, Day).value();
}

bool WriteServerFiles(const QString& folder, const certificates::PemPair& authority,
                      std::int64_t notBeforeSeconds, std::int64_t notAfterSeconds)
{
    const auto server = certificates::MakeServerCertificate(authority, QStringLiteral("localhost"),
                                                            notBeforeSeconds, notAfterSeconds);
    return server &&
           WriteFile(folder + QStringLiteral("/servercert.pem"), server->certificatePem) &&
           certificates::WritePrivateFile(folder + QStringLiteral("/serverkey.pem"),
                                          server->privateKeyPem);
}

bool WriteTrustList(const QString& folder, const QList<certificates::PemPair>& authorities)
{
    QByteArray list;
    for (const certificates::PemPair& authority : authorities)
        list += authority.certificatePem;
    return WriteFile(folder + QStringLiteral("/clientcalist.pem"), list);
}

bool WriteProfileCertificates(const QString& folder)
{
    return WriteServerFiles(folder, SharedAuthority()) &&
           WriteTrustList(folder, {SharedAuthority()});
}

} // namespace vantrel::test::testcertificates
