#include "core/profile.h"

#include "core/base/settingsstore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace vantrel {

namespace {

// An XDG base folder: the variable when it holds an absolute path, else the fallback below
// the home folder (relative values are invalid and ignored).
QString XdgFolder(const char* variable, const QString& fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + fallbackBelowHome;
}

QString Absolute(const QString& path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

} // namespace

Profile Profile::FromEnvironment()
{
    const QString home = qEnvironmentVariable("VANTREL_HOME");
    if (!home.isEmpty())
        return Portable(home);
    return Profile(
        XdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/Vantrel"),
        XdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/Vantrel"));
}

Profile Profile::Portable(const QString& home)
{
    const QString folder = Absolute(home);
    return Profile(folder, folder, folder);
}

Profile::Profile(QString configFolder, QString dataFolder, QString home)
    : m_configFolder(Absolute(configFolder)), m_dataFolder(Absolute(dataFolder)),
      m_home(home.isEmpty() ? QString() : Absolute(home))
{
}

QString Profile::iniFile() const
{
    return m_configFolder + QStringLiteral("/Vantrel.ini");
}

QString Profile::lockFile() const
{
    return m_configFolder + QStringLiteral("/vantrel.lock");
}

QString Profile::handOffTurnFile() const
{
    return m_configFolder + QStringLiteral("/handoff.lock");
}

QString Profile::InstanceName() const
{
    QString path = QFileInfo(m_configFolder).canonicalFilePath();
    if (path.isEmpty())
        path = m_configFolder;
    const QByteArray hash =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    // Short enough for a local socket path, whatever the profile's path length.
    return QStringLiteral("vantrel-") + QString::fromLatin1(hash);
}

ProgramFolder Profile::ProgramFolderFrom(const SettingsStore& store) const
{
    const QString installed =
        store.ReadString(SettingsStore::MainKey, QStringLiteral("SProgramPath"));
    return ProgramFolder(installed.isEmpty() ? m_dataFolder : installed);
}

} // namespace vantrel
