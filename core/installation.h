#pragma once

#include <QString>

namespace vantrel {

class Profile;
class ProgramFolder;
class SettingsStore;

// Setting up a profile's program folder, and the trust between computers.
//
// The folder gets sounds/, CachedResumes/, Temp/, a certificate authority private to the
// profile ("ca.pem", key "cakey.pem"), a server certificate signed by it ("servercert.pem",
// key "serverkey.pem") and the trust list of outgoing connections ("clientcalist.pem"),
// which starts with the own authority. Trusting another computer means adding its authority
// to that list; private keys are owner-only files.
namespace installation {

inline const QString AuthorityFile = QStringLiteral("ca.pem");
inline const QString AuthorityKeyFile = QStringLiteral("cakey.pem");
inline const QString ServerCertificateFile = QStringLiteral("servercert.pem");
inline const QString ServerKeyFile = QStringLiteral("serverkey.pem");
inline const QString TrustListFile = QStringLiteral("clientcalist.pem");

// Validity of the certificates made here: about ten years (the authority a little longer,
// so that it never expires before what it signed).
inline constexpr qint64 ServerValiditySeconds = 3650LL * 24 * 3600;
inline constexpr qint64 AuthorityValiditySeconds = 3660LL * 24 * 3600;

struct Result
{
    bool ok = false;
    QString message; // for the user, whatever the outcome
};

// True once SProgramPath is written.
bool IsInstalled(const SettingsStore& store);

// Creates what is missing and writes SProgramPath (the data folder) when everything is in
// place. Existing certificates, keys, trust list and sounds are kept as they are, so running
// it again only repairs what is missing.
Result Install(const Profile& profile, SettingsStore& store);

// The own authority certificate as PEM, with its subject and SHA-256 fingerprint.
Result DescribeAuthority(const ProgramFolder& folder);
// Copies the own authority certificate to `file`, for another computer to trust.
Result ExportAuthority(const ProgramFolder& folder, const QString& file);
// Appends the certificates of `peerFile` to the trust list. A file without a PEM
// certificate, with a certificate that is no authority, or whose certificates are all trusted
// already, changes nothing.
Result TrustAuthority(const ProgramFolder& folder, const QString& peerFile);

} // namespace installation

} // namespace vantrel
