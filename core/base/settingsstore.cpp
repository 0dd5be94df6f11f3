#include "core/base/settingsstore.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace vantrel {

SettingsStore::SettingsStore(const QString& iniFile)
    : m_fileName(iniFile)
{
}

SettingsStore::~SettingsStore() = default;

// A QSettings object is made for each call, under the lock, and never outlives it: one object
// shared by threads would sync itself later on the thread that made it, outside the lock.

// The main key's values live at the top level, which QSettings writes as [General]; a subkey
// becomes a group of its own name.
QString SettingsStore::SectionKey(const QString& key, const QString& value) const
{
    QString section;
    if (key.compare(MainKey, Qt::CaseInsensitive) == 0) {
        section.clear();
    } else if (key.startsWith(MainKey + QLatin1Char('\\'), Qt::CaseInsensitive)) {
        section = key.mid(MainKey.size() + 1);
    } else {
        section = key;
    }
    section.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return section.isEmpty() ? value : section + QLatin1Char('/') + value;
}

std::optional<QString> SettingsStore::Read(const QString& key, const QString& value) const
{
    std::lock_guard lock(m_mutex);
    QSettings settings(m_fileName, QSettings::IniFormat);
    const QString name = SectionKey(key, value);
    if (!settings.contains(name))
        return std::nullopt;
    const QVariant data = settings.value(name);
    // An unquoted "a, b" in a hand-edited file comes back as a list; the store only knows
    // strings, so it is joined back the way it was written.
    if (data.typeId() == QMetaType::QStringList)
        return data.toStringList().join(QStringLiteral(", "));
    return data.toString();
}

QString SettingsStore::ReadString(const QString& key, const QString& value) const
{
    return Read(key, value).value_or(QString());
}

void SettingsStore::Write(const QString& key, const QString& value, const QString& data)
{
    std::lock_guard lock(m_mutex);
    QSettings settings(m_fileName, QSettings::IniFormat);
    settings.setValue(SectionKey(key, value), data);
    settings.sync();
}

void SettingsStore::WriteValues(const QString& key, const QList<QPair<QString, QString>>& values)
{
    if (values.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    QSettings settings(m_fileName, QSettings::IniFormat);
    for (const auto& [value, data] : values)
        settings.setValue(SectionKey(key, value), data);
    settings.sync();
}

void SettingsStore::Delete(const QString& key, const QString& value)
{
    std::lock_guard lock(m_mutex);
    QSettings settings(m_fileName, QSettings::IniFormat);
    const QString name = SectionKey(key, value);
    if (!settings.contains(name))
        return;
    settings.remove(name);
    settings.sync();
}

void SettingsStore::DeleteValues(const QString& key, const QStringList& values)
{
    std::lock_guard lock(m_mutex);
    QSettings settings(m_fileName, QSettings::IniFormat);
    bool removed = false;
    for (const QString& value : values) {
        const QString name = SectionKey(key, value);
        if (settings.contains(name)) {
            settings.remove(name);
            removed = true;
        }
    }
    if (removed)
        settings.sync();
}

bool SettingsStore::Contains(const QString& key, const QString& value) const
{
    std::lock_guard lock(m_mutex);
    QSettings settings(m_fileName, QSettings::IniFormat);
    return settings.contains(SectionKey(key, value));
}

} // namespace vantrel
