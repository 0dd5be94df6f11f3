#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QSettings;

namespace vantrel {

// A store of string values over one INI file. Keys are paths ("SOFTWARE\\Vantrel",
// "SOFTWARE\\Vantrel\\MRUHosts"); the main key maps to the file's [General] section and each
// subkey to a section of its own name, which appears with its first value. Thread-safe:
// every call takes one lock, and writes reach the file at once, whole or not at all: a
// failed or interrupted write leaves the old file.
class SettingsStore
{
public:
    static inline const QString MainKey = QStringLiteral("SOFTWARE\\Vantrel");
    static inline const QString PolicyKey = QStringLiteral("SOFTWARE\\Vantrel\\TunnelPolicies");
    static inline const QString DynDnsKey = QStringLiteral("SOFTWARE\\Vantrel\\DynDNS");
    static inline const QString RecentHostsKey = QStringLiteral("SOFTWARE\\Vantrel\\MRUHosts");

    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    const QString& fileName() const { return m_fileName; }

    // Nothing when the value is missing. A value is always read as one string.
    std::optional<QString> Read(const QString& key, const QString& value) const;
    // Missing or empty reads as "".
    QString ReadString(const QString& key, const QString& value) const;
    void Write(const QString& key, const QString& value, const QString& data);
    // Several values of one key, reaching the file once (each write rewrites the whole file).
    void WriteValues(const QString& key, const QList<QPair<QString, QString>>& values);
    void Delete(const QString& key, const QString& value);
    // Missing values are skipped; the file is rewritten once.
    void DeleteValues(const QString& key, const QStringList& values);
    bool Contains(const QString& key, const QString& value) const;

    // Serialises a read-modify-write over several calls (the recent hosts update).
    std::recursive_mutex& UpdateLock() const { return m_mutex; }

private:
    // Applies `change` (false: nothing changed) to a copy of the file's values and puts the
    // result in place in one step, once it is known to be whole on the disk. False when the
    // file could not be replaced: it then keeps its old text.
    bool Rewrite(const std::function<bool(QSettings&)>& change);
    QString SectionKey(const QString& key, const QString& value) const;

    QString m_fileName;
    mutable std::recursive_mutex m_mutex;
};

} // namespace vantrel
