#pragma once

#include "net/certificates.h"

#include <QList>
#include <QString>

namespace vantrel::test {

// Certificates for tests, made in memory and written into a profile folder under the
// program's file names ("servercert.pem", "serverkey.pem", "clientcalist.pem").
namespace testcertificates {

// One authority shared by the whole test process (making keys costs time): profiles set
// up with WriteProfileCertificates trust each other.
const certificates::PemPair& SharedAuthority();

// A fresh authority of its own, valid for a day.
certificates::PemPair NewAuthority(const QString& commonName);

// "servercert.pem" and "serverkey.pem", signed by `authority`, valid between the two
// offsets in seconds from now (negative for the past).
bool WriteServerFiles(const QString& folder, const certificates::PemPair& authority,
                      std::int64_t notBeforeSeconds = -3600,
                      std::int64_t notAfterSeconds = 24 * 3600);

// "clientcalist.pem" trusting exactly these authorities.
bool WriteTrustList(const QString& folder, const QList<certificates::PemPair>& authorities);

// All three files with the shared authority: a profile that can both listen and connect
// to any other profile made this way.
bool WriteProfileCertificates(const QString& folder);

} // namespace testcertificates

} // namespace vantrel::test
