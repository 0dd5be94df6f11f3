#pragma once

#include "core/base/programfolder.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace vantrel {

// The authorities this profile trusts for outgoing connections ("clientcalist.pem"), with
// when each was added. The list file keeps its plain PEM form; the dates live beside it in
// "trustedsince.ini", keyed by fingerprint. Additions append to the file and removals cut one
// certificate out of it, leaving every other byte as it was; both replace the file atomically.
class TrustList
{
public:
    static inline const QString ListFile = QStringLiteral("clientcalist.pem");
    static inline const QString RecordFile = QStringLiteral("trustedsince.ini");
    static inline const QString OwnAuthorityFile = QStringLiteral("ca.pem");

    struct Entry
    {
        QByteArray certificatePem;
        QString subject;
        QString fingerprint; // colon-separated hex, the record's key
        QDateTime since;     // invalid: added before dates were recorded
        bool own = false;    // this profile's own authority, which cannot be removed
    };

    explicit TrustList(ProgramFolder folder);

    // The trusted certificates in the order of the file.
    QList<Entry> Entries() const;
    bool Contains(const QByteArray& certificatePem) const;

    // Appends those of `certificates` (PEM) that are not trusted yet and records now as their
    // date. The number appended, or -1 when the file could not be written (nothing changed).
    int Append(const QList<QByteArray>& certificates);

    enum class RemoveResult
    {
        Removed,
        Own, // the profile's own authority stays
        NotFound,
        WriteFailed,
    };
    RemoveResult Remove(const QString& fingerprint);

    // The words shown for an entry without a recorded date.
    static QString UnrecordedText();

private:
    QString OwnFingerprint() const;
    void Record(const QString& fingerprint, const QDateTime& when) const;
    QDateTime RecordedDate(const QString& fingerprint) const;

    ProgramFolder m_folder;
};

} // namespace vantrel
