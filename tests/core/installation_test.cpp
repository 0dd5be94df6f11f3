#include "core/installation.h"

#include "core/manualfiles.h"

#include "core/base/programfolder.h"
#include "core/base/settingsstore.h"
#include "core/profile.h"
#include "net/certificates.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <memory>

namespace vantrel {
namespace {

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A RIFF/WAVE file of 16-bit PCM whose chunk sizes match its length, with some sound in it.
::testing::AssertionResult IsPcmWave(const QByteArray& wav)
{
    if (wav.size() < 44 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE" ||
        wav.mid(12, 4) != "fmt " || wav.mid(36, 4) != "data")
        return ::testing::AssertionFailure() << "not a canonical WAVE header";
    const auto le32 = [&](int at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
    const auto le16 = [&](int at) { return qFromLittleEndian<quint16>(wav.constData() + at); };
    if (le32(4) != quint32(wav.size() - 8) || le32(40) != quint32(wav.size() - 44))
        return ::testing::AssertionFailure() << "chunk sizes do not match the file";
    if (le16(20) != 1 || le16(34) != 16 || le32(24) == 0)
        return ::testing::AssertionFailure() << "not 16-bit PCM";
    const quint32 seconds100 = le32(40) * 100 / le32(28);
    if (seconds100 < 10 || seconds100 > 200)
        return ::testing::AssertionFailure() << "length " << seconds100 << "/100 s is not short";
    int loud = 0;
    for (int at = 44; at + 1 < wav.size(); at += 2)
        loud = std::max(loud, std::abs(int(qint16(le16(at)))));
    if (loud < 8000)
        return ::testing::AssertionFailure() << "silent";
    return ::testing::AssertionSuccess();
}

// Verifies a PEM certificate against a PEM bundle of trusted authorities.
bool VerifiesAgainst(const QByteArray& certPem, const QByteArray& trustedPem)
{
    BIO* certBio = BIO_new_mem_buf(certPem.constData(), int(certPem.size()));
    X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
    BIO_free(certBio);
    if (!cert)
        return false;
    X509_STORE* store = X509_STORE_new();
    BIO* trustBio = BIO_new_mem_buf(trustedPem.constData(), int(trustedPem.size()));
    while (X509* ca = PEM_read_bio_X509(trustBio, nullptr, nullptr, nullptr)) {
        X509_STORE_add_cert(store, ca);
        X509_free(ca);
    }
    BIO_free(trustBio);
    X509_STORE_CTX* context = X509_STORE_CTX_new();
    X509_STORE_CTX_init(context, store, cert, nullptr);
    const bool ok = X509_verify_cert(context) == 1;
    X509_STORE_CTX_free(context);
    X509_STORE_free(store);
    X509_free(cert);
    return ok;
}

class InstallationTest : public ::testing::Test
{
protected:
    InstallationTest()
        : m_profile(QString(m_temp.file(QStringLiteral("config"))),
                    QString(m_temp.file(QStringLiteral("data")))),
          m_store(std::make_unique<SettingsStore>(m_profile.iniFile())),
          m_folder(m_profile.dataFolder())
    {
    }

    QString File(const QString& name) const { return m_folder.file(name); }
    QByteArray Bytes(const QString& name) const { return ReadBytes(File(name)); }

    test::TempFolder m_temp;
    Profile m_profile;
    std::unique_ptr<SettingsStore> m_store;
    ProgramFolder m_folder;
};

TEST_F(InstallationTest, MakesFoldersSoundsAndCertificatesThatVerify)
{
    ASSERT_FALSE(installation::IsInstalled(*m_store));
    const installation::Result result = installation::Install(m_profile, *m_store);
    ASSERT_TRUE(result.ok) << result.message.toStdString();

    for (const QString& folder : {m_folder.soundsFolder(), m_folder.cachedResumesFolder(),
                                  m_folder.tempFolder(), m_profile.configFolder()})
        EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();

    QList<QByteArray> sounds;
    for (const char* name : {"sounds/newreq.wav", "sounds/complete.wav", "sounds/error.wav"}) {
        sounds << Bytes(QString::fromLatin1(name));
        EXPECT_TRUE(IsPcmWave(sounds.back())) << name;
    }
    EXPECT_NE(sounds[0], sounds[1]);
    EXPECT_NE(sounds[1], sounds[2]);
    EXPECT_NE(sounds[0], sounds[2]);

    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    for (const QString& key : {installation::ServerKeyFile, installation::AuthorityKeyFile}) {
        const QFileInfo info(File(key));
        EXPECT_EQ(info.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly)
            << key.toStdString();
    }

    const QByteArray serverCert = Bytes(installation::ServerCertificateFile);
    const QByteArray trustList = Bytes(installation::TrustListFile);
    EXPECT_TRUE(VerifiesAgainst(serverCert, trustList));
    EXPECT_TRUE(VerifiesAgainst(serverCert, Bytes(installation::AuthorityFile)));
    EXPECT_FALSE(VerifiesAgainst(serverCert, serverCert)); // not self-signed: the chain counts

    // The next start sees the program folder in a fresh store.
    m_store = std::make_unique<SettingsStore>(m_profile.iniFile());
    EXPECT_TRUE(installation::IsInstalled(*m_store));
    EXPECT_EQ(m_store->ReadString(SettingsStore::MainKey, QStringLiteral("SProgramPath")),
              m_folder.path());
}

TEST_F(InstallationTest, RunningAgainKeepsKeysAndRepairsWhatIsMissing)
{
    ASSERT_TRUE(installation::Install(m_profile, *m_store).ok);
    const QStringList kept = {installation::AuthorityFile, installation::AuthorityKeyFile,
                              installation::ServerCertificateFile, installation::ServerKeyFile,
                              installation::TrustListFile};
    QList<QByteArray> before;
    for (const QString& name : kept)
        before << Bytes(name);
    ASSERT_TRUE(QFile::remove(File(QStringLiteral("sounds/error.wav"))));

    const installation::Result again = installation::Install(m_profile, *m_store);
    ASSERT_TRUE(again.ok) << again.message.toStdString();
    for (int i = 0; i < kept.size(); ++i)
        EXPECT_EQ(Bytes(kept[i]), before[i]) << kept[i].toStdString();
    EXPECT_TRUE(IsPcmWave(Bytes(QStringLiteral("sounds/error.wav"))));
    EXPECT_TRUE(again.message.contains(QStringLiteral("Kept")));
}

TEST_F(InstallationTest, TheManualIsInstalledAndAStaleCopyIsReplaced)
{
    ASSERT_TRUE(installation::Install(m_profile, *m_store).ok);
    const QByteArray manual = Bytes(manualfiles::ManualFile);
    ASSERT_TRUE(manual.contains("<title>Vantrel manual</title>"));

    {
        QFile stale(File(manualfiles::ManualFile));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly | QIODevice::Truncate));
        stale.write("an older manual");
    }
    EXPECT_TRUE(manualfiles::Refresh(m_folder).isEmpty());
    EXPECT_EQ(Bytes(manualfiles::ManualFile), manual);
}

TEST_F(InstallationTest, HalfAPairIsNeverOverwrittenAndLeavesTheProfileUninstalled)
{
    ASSERT_TRUE(QDir().mkpath(m_folder.path()));
    QFile lonely(File(installation::ServerCertificateFile));
    ASSERT_TRUE(lonely.open(QIODevice::WriteOnly));
    lonely.write("mine");
    lonely.close();

    const installation::Result result = installation::Install(m_profile, *m_store);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.contains(installation::ServerKeyFile))
        << result.message.toStdString();
    EXPECT_EQ(Bytes(installation::ServerCertificateFile), QByteArray("mine"));
    EXPECT_FALSE(QFileInfo::exists(File(installation::ServerKeyFile)));
    EXPECT_FALSE(installation::IsInstalled(*m_store));
}

TEST_F(InstallationTest, TrustAddsOnlyNewPemCertificates)
{
    ASSERT_TRUE(installation::Install(m_profile, *m_store).ok);
    const auto peer = certificates::MakeAuthority(QStringLiteral("Peer Authority"), -60, 86400);
    ASSERT_TRUE(peer);
    m_temp.write(QStringLiteral("peer.pem"), peer->certificatePem);
    m_temp.write(QStringLiteral("garbage.pem"), "-----BEGIN CERTIFICATE-----\nnope\n");
    m_temp.write(QStringLiteral("key.pem"), peer->privateKeyPem);
    ASSERT_TRUE(installation::ExportAuthority(m_folder, m_temp.file(QStringLiteral("own.pem"))).ok);
    // A computer's certificate (the peer's servercert.pem), alone or before its authority.
    const auto peerHost =
        certificates::MakeServerCertificate(*peer, QStringLiteral("peerhost"), -60, 86400);
    ASSERT_TRUE(peerHost);
    m_temp.write(QStringLiteral("servercert.pem"), peerHost->certificatePem);
    m_temp.write(QStringLiteral("chain.pem"), peerHost->certificatePem + peer->certificatePem);

    struct Case
    {
        const char* file;
        bool ok;
        const char* messagePart;
    };
    const Case cases[] = {
        {"garbage.pem", false, "does not hold a PEM certificate"},
        {"key.pem", false, "does not hold a PEM certificate"},
        {"missing.pem", false, "Cannot read"},
        {"own.pem", false, "already trusted"},
        {"servercert.pem", false, "holds a computer's certificate (CN=peerhost)"},
        // With its authority, the authority is trusted and the other named as left out.
        {"chain.pem", true, "Peer Authority"},
        {"peer.pem", false, "already trusted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray listBefore = Bytes(installation::TrustListFile);
        const installation::Result result =
            installation::TrustAuthority(m_folder, m_temp.file(QString::fromLatin1(c.file)));
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_TRUE(result.message.contains(QString::fromLatin1(c.messagePart)))
            << result.message.toStdString();
        if (!c.ok) {
            EXPECT_EQ(Bytes(installation::TrustListFile), listBefore);
        }
        if (QLatin1String(c.file) == QLatin1String("chain.pem")) {
            EXPECT_TRUE(result.message.contains(QStringLiteral("Not trusted")) &&
                        result.message.endsWith(QStringLiteral("CN=peerhost")))
                << result.message.toStdString();
        }
    }

    const QByteArray list = Bytes(installation::TrustListFile);
    EXPECT_EQ(certificates::SplitPemCertificates(list).size(), 2);
    EXPECT_TRUE(list.startsWith(Bytes(installation::AuthorityFile)));
    EXPECT_TRUE(VerifiesAgainst(peerHost->certificatePem, list));
    EXPECT_TRUE(VerifiesAgainst(Bytes(installation::ServerCertificateFile), list));
}

TEST_F(InstallationTest, DescribesAndExportsTheOwnAuthority)
{
    EXPECT_FALSE(installation::DescribeAuthority(m_folder).ok);
    ASSERT_TRUE(installation::Install(m_profile, *m_store).ok);
    const QByteArray authority = Bytes(installation::AuthorityFile);
    // Shown in the readable form, one line of eight groups after the other.
    const QStringList fingerprint =
        certificates::ReadableFingerprint(authority).split(QLatin1Char('\n'));
    ASSERT_EQ(fingerprint.size(), 2);
    const auto shows = [&](const QString& message) {
        return message.contains(fingerprint[0]) && message.contains(fingerprint[1]);
    };

    const installation::Result described = installation::DescribeAuthority(m_folder);
    EXPECT_TRUE(described.ok);
    EXPECT_TRUE(described.message.contains(QStringLiteral("-----BEGIN CERTIFICATE-----")));
    EXPECT_TRUE(shows(described.message));

    const QString target = m_temp.file(QStringLiteral("export.pem"));
    const installation::Result exported = installation::ExportAuthority(m_folder, target);
    EXPECT_TRUE(exported.ok);
    EXPECT_TRUE(shows(exported.message));
    EXPECT_EQ(ReadBytes(target), authority);
    EXPECT_FALSE(
        installation::ExportAuthority(m_folder, m_temp.file(QStringLiteral("no/such/dir/x.pem")))
            .ok);
}

} // namespace
} // namespace vantrel
