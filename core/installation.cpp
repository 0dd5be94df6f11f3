#include "core/installation.h"

#include "core/base/programfolder.h"
#include "core/base/settingsstore.h"
#include "core/manualfiles.h"
#include "core/profile.h"
#include "core/soundsynth.h"
#include "net/certificates.h"
#include "net/trustlist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringList>
#include <QSysInfo>

#include <optional>

namespace vantrel::installation {

namespace {

const QString ProgramPathValue = QStringLiteral("SProgramPath");
constexpr qint64 BackdateSeconds = 3600; // tolerate a peer whose clock is a little behind

// A readable fingerprint set in by two spaces, line by line.
QString Indented(const QString& text)
{
    return QStringLiteral("  ") + QString(text).replace(QLatin1Char('\n'), QStringLiteral("\n  "));
}

std::optional<QByteArray> ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool WritePublicFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QString HostName()
{
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? QStringLiteral("localhost") : host;
}

// What one run of the installation did, for its closing message.
struct Report
{
    QStringList created;
    QStringList kept;
    QStringList problems;
};

// A certificate with its key: both present (kept), both absent (to make), or one without the
// other, which is never overwritten since the missing half may be somewhere the user knows.
enum class PairState
{
    Present,
    Absent,
    Broken
};

PairState StateOf(const ProgramFolder& folder, const QString& cert, const QString& key)
{
    const bool hasCert = QFileInfo::exists(folder.file(cert));
    const bool hasKey = QFileInfo::exists(folder.file(key));
    if (hasCert && hasKey)
        return PairState::Present;
    if (!hasCert && !hasKey)
        return PairState::Absent;
    return PairState::Broken;
}

QString BrokenPairText(const QString& cert, const QString& key)
{
    return QCoreApplication::translate(
               "Installation", "only one of %1 and %2 exists; it was left alone (remove it to have "
                               "the pair made again)")
        .arg(cert, key);
}

bool WritePair(const ProgramFolder& folder, const certificates::PemPair& pair, const QString& cert,
               const QString& key)
{
    return certificates::WritePrivateFile(folder.file(key), pair.privateKeyPem) &&
           WritePublicFile(folder.file(cert), pair.certificatePem);
}

// The profile's authority, made when absent. Nothing when it cannot be had.
std::optional<certificates::PemPair> Authority(const ProgramFolder& folder, Report& report)
{
    switch (StateOf(folder, AuthorityFile, AuthorityKeyFile)) {
    case PairState::Present: {
        auto cert = ReadAll(folder.file(AuthorityFile));
        auto key = ReadAll(folder.file(AuthorityKeyFile));
        report.kept << AuthorityFile << AuthorityKeyFile;
        if (!cert || !key) {
            report.problems << QCoreApplication::translate("Installation", "cannot read %1 or %2")
                                   .arg(AuthorityFile, AuthorityKeyFile);
            return std::nullopt;
        }
        return certificates::PemPair{*cert, *key};
    }
    case PairState::Absent: {
        // A random suffix keeps two profiles on one host apart in a shared trust list.
        // (first, as long host names are cut to fit the name's 64 characters).
        const QString name =
            QStringLiteral("Vantrel Authority %1 %2")
                .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'))
                .arg(HostName());
        auto pair = certificates::MakeAuthority(name, -BackdateSeconds, AuthorityValiditySeconds);
        if (!pair || !WritePair(folder, *pair, AuthorityFile, AuthorityKeyFile)) {
            report.problems << QCoreApplication::translate("Installation",
                                                           "cannot make the certificate authority");
            return std::nullopt;
        }
        report.created << AuthorityFile << AuthorityKeyFile;
        return pair;
    }
    case PairState::Broken:
        report.problems << BrokenPairText(AuthorityFile, AuthorityKeyFile);
        return std::nullopt;
    }
    return std::nullopt;
}

void InstallSounds(const ProgramFolder& folder, Report& report)
{
    for (Sound sound : {Sound::NewRequest, Sound::Complete, Sound::Error}) {
        const QString name = QStringLiteral("sounds/") + soundsynth::FileName(sound);
        if (QFileInfo::exists(folder.file(name)))
            report.kept << name;
        else if (WritePublicFile(folder.file(name), soundsynth::Wave(sound)))
            report.created << name;
        else
            report.problems
                << QCoreApplication::translate("Installation", "cannot write %1").arg(name);
    }
}

void InstallCertificates(const ProgramFolder& folder, Report& report)
{
    const std::optional<certificates::PemPair> authority = Authority(folder, report);

    switch (StateOf(folder, ServerCertificateFile, ServerKeyFile)) {
    case PairState::Present:
        report.kept << ServerCertificateFile << ServerKeyFile;
        break;
    case PairState::Absent: {
        if (!authority) {
            report.problems << QCoreApplication::translate("Installation",
                                                           "no authority to sign %1")
                                   .arg(ServerCertificateFile);
            break;
        }
        auto server = certificates::MakeServerCertificate(*authority, HostName(), -BackdateSeconds,
                                                          ServerValiditySeconds);
        if (server && WritePair(folder, *server, ServerCertificateFile, ServerKeyFile))
            report.created << ServerCertificateFile << ServerKeyFile;
        else
            report.problems << QCoreApplication::translate("Installation",
                                                           "cannot make the server certificate");
        break;
    }
    case PairState::Broken:
        report.problems << BrokenPairText(ServerCertificateFile, ServerKeyFile);
        break;
    }

    if (QFileInfo::exists(folder.file(TrustListFile))) {
        report.kept << TrustListFile;
    } else if (!authority) {
        report.problems << QCoreApplication::translate("Installation", "no authority to put in %1")
                               .arg(TrustListFile);
    } else if (WritePublicFile(folder.file(TrustListFile), authority->certificatePem)) {
        report.created << TrustListFile;
    } else {
        report.problems
            << QCoreApplication::translate("Installation", "cannot write %1").arg(TrustListFile);
    }
}

} // namespace

bool IsInstalled(const SettingsStore& store)
{
    return !store.ReadString(SettingsStore::MainKey, ProgramPathValue).isEmpty();
}

Result Install(const Profile& profile, SettingsStore& store)
{
    const ProgramFolder folder(profile.dataFolder());
    Report report;
    for (const QString& path : {profile.configFolder(), folder.path(), folder.soundsFolder(),
                                folder.cachedResumesFolder(), folder.tempFolder()}) {
        if (!QDir().mkpath(path))
            return {false, QCoreApplication::translate(
                               "Installation", "Installation failed: cannot create the folder %1")
                               .arg(path)};
    }
    InstallSounds(folder, report);
    InstallCertificates(folder, report);
    for (const QString& name : manualfiles::Refresh(folder))
        report.problems << QCoreApplication::translate("Installation", "cannot write %1").arg(name);

    QString text;
    if (!report.created.isEmpty())
        text += QCoreApplication::translate("Installation", "\nCreated: %1")
                    .arg(report.created.join(QStringLiteral(", ")));
    if (!report.kept.isEmpty())
        text += QCoreApplication::translate("Installation", "\nKept as they were: %1")
                    .arg(report.kept.join(QStringLiteral(", ")));
    if (!report.problems.isEmpty()) {
        // SProgramPath stays unwritten, so the next start tries again.
        return {false, QCoreApplication::translate("Installation",
                                                   "Installation in %1 is incomplete: %2.%3")
                           .arg(folder.path(), report.problems.join(QStringLiteral("; ")), text)};
    }
    store.Write(SettingsStore::MainKey, ProgramPathValue, folder.path());
    return {true, QCoreApplication::translate("Installation", "Vantrel is installed in %1.%2")
                      .arg(folder.path(), text)};
}

Result DescribeAuthority(const ProgramFolder& folder)
{
    const auto pem = ReadAll(folder.file(AuthorityFile));
    if (!pem || !certificates::IsPemCertificate(*pem))
        return {false, QCoreApplication::translate("Installation",
                                                   "There is no authority certificate in %1.")
                           .arg(folder.path())};
    return {true, QString::fromLatin1(*pem).trimmed() +
                      QCoreApplication::translate("Installation",
                                                  "\nSubject: %1\nSHA-256 fingerprint:\n%2")
                          .arg(certificates::SubjectText(*pem),
                               Indented(certificates::ReadableFingerprint(*pem)))};
}

Result ExportAuthority(const ProgramFolder& folder, const QString& file)
{
    const auto pem = ReadAll(folder.file(AuthorityFile));
    if (!pem || !certificates::IsPemCertificate(*pem))
        return {false, QCoreApplication::translate("Installation",
                                                   "There is no authority certificate in %1.")
                           .arg(folder.path())};
    if (!WritePublicFile(file, *pem))
        return {false, QCoreApplication::translate("Installation", "Cannot write %1.").arg(file)};
    return {true, QCoreApplication::translate(
                      "Installation", "Exported this computer's authority certificate to %1.\n"
                                      "SHA-256 fingerprint:\n%2\n"
                                      "On the other computer, run: vantrel --trust <that file>")
                      .arg(file, Indented(certificates::ReadableFingerprint(*pem)))};
}

Result TrustAuthority(const ProgramFolder& folder, const QString& peerFile)
{
    const auto peer = ReadAll(peerFile);
    if (!peer)
        return {false,
                QCoreApplication::translate("Installation", "Cannot read %1; nothing was changed.")
                    .arg(peerFile)};
    if (!certificates::IsPemCertificate(*peer))
        return {false,
                QCoreApplication::translate(
                    "Installation", "%1 does not hold a PEM certificate; nothing was changed.")
                    .arg(peerFile)};

    // A computer's own certificate in the list would verify nothing: every later send to it
    // would still fail as untrusted. A file that holds one with its authority (a server
    // certificate file may) gives the authority.
    QList<QByteArray> authorities;
    QStringList leftOut;
    for (const QByteArray& cert : certificates::SplitPemCertificates(*peer)) {
        if (certificates::IsAuthority(cert))
            authorities << cert;
        else
            leftOut << certificates::SubjectText(cert);
    }
    if (authorities.isEmpty())
        return {false, QCoreApplication::translate(
                           "Installation",
                           "%1 holds a computer's certificate (%2), not an authority certificate; "
                           "nothing was changed. Trust the authority that issued it instead: on "
                           "that computer, run vantrel --export-ca FILE and trust that file.")
                           .arg(peerFile, leftOut.join(QStringLiteral(", ")))};

    TrustList list(folder);
    QList<QByteArray> fresh;
    QStringList lines;
    for (const QByteArray& cert : authorities) {
        if (list.Contains(cert) || fresh.contains(cert))
            continue;
        fresh << cert;
        lines << QCoreApplication::translate("Installation", "  %1\n  SHA-256 fingerprint:\n%2")
                     .arg(certificates::SubjectText(cert),
                          Indented(certificates::ReadableFingerprint(cert)));
    }
    if (fresh.isEmpty())
        return {false, QCoreApplication::translate(
                           "Installation", "The certificate in %1 is already trusted; nothing was "
                                           "changed.")
                           .arg(peerFile)};
    if (list.Append(fresh) < 0)
        return {false,
                QCoreApplication::translate("Installation", "Cannot write %1; nothing was changed.")
                    .arg(folder.file(TrustListFile))};
    QString message =
        QCoreApplication::translate("Installation", "Now trusting, for outgoing connections:\n%1")
            .arg(lines.join(QLatin1Char('\n')));
    if (!leftOut.isEmpty())
        message += QCoreApplication::translate("Installation",
                                               "\nNot trusted, as a computer's certificate is no "
                                               "authority: %1")
                       .arg(leftOut.join(QStringLiteral(", ")));
    return {true, message};
}

} // namespace vantrel::installation
