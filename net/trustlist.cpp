#include "net/trustlist.h"

#include "core/base/atomicfile.h"
#include "net/certificates.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>

namespace vantrel {

namespace {

const QString DatesGroup = QStringLiteral("Trusted");

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The record's key: the fingerprint's hex digits alone (colons are awkward in INI keys).
QString RecordKey(const QString& fingerprint)
{
    QString key = fingerprint;
    return key.remove(QLatin1Char(':'));
}

} // namespace

TrustList::TrustList(ProgramFolder folder) : m_folder(std::move(folder)) {}

QList<TrustList::Entry> TrustList::Entries() const
{
    const QString own = OwnFingerprint();
    QList<Entry> entries;
    for (const QByteArray& pem :
         certificates::SplitPemCertificates(ReadAll(m_folder.file(ListFile)))) {
        Entry entry;
        entry.certificatePem = pem;
        entry.subject = certificates::SubjectText(pem);
        entry.fingerprint = certificates::Fingerprint(pem);
        entry.since = RecordedDate(entry.fingerprint);
        entry.own = !own.isEmpty() && entry.fingerprint == own;
        entries.append(entry);
    }
    return entries;
}

bool TrustList::Contains(const QByteArray& certificatePem) const
{
    const QString fingerprint = certificates::Fingerprint(certificatePem);
    for (const Entry& entry : Entries()) {
        if (entry.fingerprint == fingerprint)
            return true;
    }
    return false;
}

int TrustList::Append(const QList<QByteArray>& certificatesPem)
{
    const QString path = m_folder.file(ListFile);
    QByteArray list = ReadAll(path);
    QStringList trusted;
    for (const QByteArray& cert : certificates::SplitPemCertificates(list))
        trusted << certificates::Fingerprint(cert);

    QByteArray added;
    QStringList fingerprints;
    for (const QByteArray& given : certificatesPem) {
        for (const QByteArray& cert : certificates::SplitPemCertificates(given)) {
            const QString fingerprint = certificates::Fingerprint(cert);
            if (fingerprint.isEmpty() || trusted.contains(fingerprint))
                continue;
            trusted << fingerprint;
            fingerprints << fingerprint;
            added += cert.endsWith('\n') ? cert : cert + '\n';
        }
    }
    if (added.isEmpty())
        return 0;
    if (!list.isEmpty() && !list.endsWith('\n'))
        list += '\n';
    if (!atomicfile::Write(path, list + added))
        return -1;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QString& fingerprint : fingerprints)
        Record(fingerprint, now);
    return static_cast<int>(fingerprints.size());
}

TrustList::RemoveResult TrustList::Remove(const QString& fingerprint)
{
    if (fingerprint == OwnFingerprint())
        return RemoveResult::Own;
    static const QByteArray Begin = "-----BEGIN CERTIFICATE-----";
    static const QByteArray End = "-----END CERTIFICATE-----";
    const QString path = m_folder.file(ListFile);
    QByteArray list = ReadAll(path);
    qsizetype from = 0;
    for (;;) {
        const qsizetype begin = list.indexOf(Begin, from);
        if (begin < 0)
            return RemoveResult::NotFound;
        const qsizetype end = list.indexOf(End, begin + Begin.size());
        if (end < 0)
            return RemoveResult::NotFound;
        qsizetype after = end + End.size();
        if (certificates::Fingerprint(list.mid(begin, after - begin) + '\n') != fingerprint) {
            from = after;
            continue;
        }
        // The block goes with the line break that ends it; the other bytes stay.
        if (after < list.size() && list.at(after) == '\r')
            ++after;
        if (after < list.size() && list.at(after) == '\n')
            ++after;
        list.remove(begin, after - begin);
        if (!atomicfile::Write(path, list))
            return RemoveResult::WriteFailed;
        QSettings record(m_folder.file(RecordFile), QSettings::IniFormat);
        record.remove(DatesGroup + QLatin1Char('/') + RecordKey(fingerprint));
        return RemoveResult::Removed;
    }
}

QString TrustList::UnrecordedText()
{
    return QCoreApplication::translate("TrustList", "before records were kept");
}

QString TrustList::OwnFingerprint() const
{
    const QList<QByteArray> own =
        certificates::SplitPemCertificates(ReadAll(m_folder.file(OwnAuthorityFile)));
    return own.isEmpty() ? QString() : certificates::Fingerprint(own.first());
}

void TrustList::Record(const QString& fingerprint, const QDateTime& when) const
{
    QSettings record(m_folder.file(RecordFile), QSettings::IniFormat);
    record.setValue(DatesGroup + QLatin1Char('/') + RecordKey(fingerprint),
                    when.toString(Qt::ISODate));
}

QDateTime TrustList::RecordedDate(const QString& fingerprint) const
{
    const QSettings record(m_folder.file(RecordFile), QSettings::IniFormat);
    return QDateTime::fromString(
        record.value(DatesGroup + QLatin1Char('/') + RecordKey(fingerprint)).toString(),
        Qt::ISODate);
}

} // namespace vantrel
