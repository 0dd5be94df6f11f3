#include "core/settings.h"

#include "core/base/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace vantrel {

namespace {

const QString DesktopGroup = QStringLiteral("[Desktop Entry]");

// A port is one to five decimal digits naming 1..65535; blanks around it are tolerated.
// Anything else (signs, letters, 0, out of range) is not a usable port.
std::optional<int> ParsePort(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 5)
        return std::nullopt;
    int port = 0;
    for (QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        port = port * 10 + (c.unicode() - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// The escapes of a desktop entry "string" value; keeps the command on one line.
QString EscapeDesktopValue(const QString& value)
{
    QString out;
    for (QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    return out;
}

// On when the entry exists and its Exec line is not empty.
bool ReadAutostart(const AutostartEntry& autostart)
{
    if (autostart.desktopFile.isEmpty())
        return false;
    QFile file(autostart.desktopFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == DesktopGroup;
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != QLatin1String("Exec"))
            continue;
        return !line.mid(eq + 1).trimmed().isEmpty();
    }
    return false;
}

void WriteAutostart(const AutostartEntry& autostart, bool on)
{
    if (autostart.desktopFile.isEmpty())
        return;
    if (!on) {
        QFile::remove(autostart.desktopFile);
        return;
    }
    QDir().mkpath(QFileInfo(autostart.desktopFile).absolutePath());
    QSaveFile file(autostart.desktopFile);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QString text = DesktopGroup +
                         QStringLiteral("\n"
                                        "Type=Application\n"
                                        "Name=Vantrel\n"
                                        "Comment=Send files and folders over TLS\n"
                                        "Exec=") +
                         EscapeDesktopValue(autostart.command) +
                         QStringLiteral("\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n");
    file.write(text.toUtf8());
    file.commit();
}

} // namespace

int Settings::ServerPort() const
{
    return ParsePort(serverPortText).value_or(DefaultServerPort);
}

QString Settings::EffectiveNickName() const
{
    return vantrel::EffectiveNickName(nickName);
}

Settings LoadSettings(const SettingsStore& store, const AutostartEntry& autostart)
{
    const QString& key = SettingsStore::MainKey;
    Settings settings;

    settings.nickName = EffectiveNickName(store.ReadString(key, QStringLiteral("NickName")));

    const int port =
        ParsePort(store.ReadString(key, QStringLiteral("ServerPort"))).value_or(DefaultServerPort);
    settings.serverPortText = QString::number(port);

    settings.programFolder = store.ReadString(key, QStringLiteral("SProgramPath"));

    const QString update = store.ReadString(key, QStringLiteral("AutoUpdateCheck"));
    settings.autoUpdateCheck = update.isEmpty() || update == QLatin1String("1");

    settings.startWithDesktop = ReadAutostart(autostart);
    return settings;
}

void SaveSettings(SettingsStore& store, const Settings& settings, const AutostartEntry& autostart)
{
    const QString& key = SettingsStore::MainKey;
    store.Write(key, QStringLiteral("ServerPort"), QString::number(settings.ServerPort()));
    store.Write(key, QStringLiteral("NickName"), settings.EffectiveNickName());
    store.Write(key, QStringLiteral("AutoUpdateCheck"),
                settings.autoUpdateCheck ? QStringLiteral("1") : QStringLiteral("0"));
    WriteAutostart(autostart, settings.startWithDesktop);
}

} // namespace vantrel
