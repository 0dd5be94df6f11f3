#include "core/base/settingsstore.h"

#include "core/base/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QScopeGuard>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cstdio>

namespace vantrel {

SettingsStore::SettingsStore(const QString& iniFile) : m_fileName(iniFile) {}

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
    Rewrite([&](QSettings& settings) {
        settings.setValue(SectionKey(key, value), data);
        return true;
    });
}

void SettingsStore::WriteValues(const QString& key, const QList<QPair<QString, QString>>& values)
{
    if (values.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    Rewrite([&](QSettings& settings) {
        for (const auto& [value, data] : values)
            settings.setValue(SectionKey(key, value), data);
        return true;
    });
}

void SettingsStore::Delete(const QString& key, const QString& value)
{
    DeleteValues(key, {value});
}

void SettingsStore::DeleteValues(const QString& key, const QStringList& values)
{
    std::lock_guard lock(m_mutex);
    Rewrite([&](QSettings& settings) {
        bool removed = false;
        for (const QString& value : values) {
            const QString name = SectionKey(key, value);
            if (settings.contains(name)) {
                settings.remove(name);
                removed = true;
            }
        }
        return removed;
    });
}

namespace {

// Every value as its texts: a list read back from the file may come as another list type.
QMap<QString, QStringList> AllValues(const QSettings& settings)
{
    QMap<QString, QStringList> values;
    for (const QString& name : settings.allKeys())
        values.insert(name, settings.value(name).toStringList());
    return values;
}

bool MoveOver(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

bool SettingsStore::Rewrite(const std::function<bool(QSettings&)>& change)
{
    // QSettings writes its file in one rename, but takes a short write (a full disk, a size
    // limit) for success and renames the cut text into place. So the new text is made in a
    // file of its own, read back and compared under a fresh name, and only then moved over the
    // old file.
    // QSettings keeps what it read of every file it has seen: only a name it has never met is
    // read from the disk.
    const QString draft = atomicfile::CreateBeside(m_fileName);
    const QString checked = atomicfile::CreateBeside(m_fileName);
    const auto cleanUp = qScopeGuard([&] {
        QFile::remove(draft);
        QFile::remove(checked);
    });
    if (draft.isEmpty() || checked.isEmpty())
        return false;
    if (QFileInfo::exists(m_fileName))
        QFile::setPermissions(draft, QFile::permissions(m_fileName));
    QMap<QString, QStringList> expected;
    {
        const QSettings current(m_fileName, QSettings::IniFormat);
        QSettings next(draft, QSettings::IniFormat);
        for (const QString& name : current.allKeys())
            next.setValue(name, current.value(name));
        if (!change(next))
            return true; // nothing to write
        next.sync();
        if (next.status() != QSettings::NoError)
            return false;
        expected = AllValues(next);
    }
    if (!MoveOver(draft, checked) ||
        AllValues(QSettings(checked, QSettings::IniFormat)) != expected ||
        !atomicfile::Sync(checked))
        return false;

    // QSettings knows a file it has read by its size and time of change: a new text of the
    // old size within the same millisecond would pass for the old one.
    const QFileInfo before(m_fileName);
    const QFileInfo after(checked);
    if (before.exists() && before.size() == after.size() &&
        before.lastModified() == after.lastModified()) {
        QFile touched(checked);
        if (touched.open(QIODevice::ReadWrite))
            touched.setFileTime(before.lastModified().addMSecs(1),
                                QFileDevice::FileModificationTime);
    }
    if (!MoveOver(checked, m_fileName))
        return false;
    atomicfile::Sync(QFileInfo(m_fileName).absolutePath());
    return true;
}

bool SettingsStore::Contains(const QString& key, const QString& value) const
{
    std::lock_guard lock(m_mutex);
    QSettings settings(m_fileName, QSettings::IniFormat);
    return settings.contains(SectionKey(key, value));
}

} // namespace vantrel
