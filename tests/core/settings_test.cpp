#include "core/settings.h"

#include "core/base/settingsstore.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <memory>

namespace vantrel {
namespace {

const QString& Key = SettingsStore::MainKey;

class SettingsTest : public ::testing::Test
{
protected:
    SettingsTest()
        : m_store(std::make_unique<SettingsStore>(m_temp.file(QStringLiteral("Vantrel.ini"))))
    {
        m_autostart.desktopFile = m_temp.file(QStringLiteral("config/autostart/vantrel.desktop"));
        m_autostart.command = QStringLiteral("/opt/vantrel/vantrel");
    }

    // A fresh store over the same file, as the next start would see it.
    SettingsStore& Reopen()
    {
        m_store = std::make_unique<SettingsStore>(m_temp.file(QStringLiteral("Vantrel.ini")));
        return *m_store;
    }

    QString DesktopText() const
    {
        QFile file(m_autostart.desktopFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    test::TempFolder m_temp;
    std::unique_ptr<SettingsStore> m_store;
    AutostartEntry m_autostart;
};

TEST_F(SettingsTest, FirstStartGivesDefaults)
{
    const Settings settings = LoadSettings(*m_store, m_autostart);
    EXPECT_EQ(settings.nickName, QStringLiteral("Anonymous"));
    EXPECT_EQ(settings.serverPortText, QStringLiteral("12666"));
    EXPECT_TRUE(settings.autoUpdateCheck);
    EXPECT_FALSE(settings.startWithDesktop);
    EXPECT_TRUE(settings.programFolder.isEmpty());
}

TEST_F(SettingsTest, StoredValuesAreRead)
{
    m_store->Write(Key, QStringLiteral("NickName"), QStringLiteral("Bob"));
    m_store->Write(Key, QStringLiteral("ServerPort"), QStringLiteral("9000"));
    m_store->Write(Key, QStringLiteral("AutoUpdateCheck"), QStringLiteral("0"));
    m_store->Write(Key, QStringLiteral("SProgramPath"),
                   QStringLiteral("/home/bob/.local/share/Vantrel"));
    const Settings settings = LoadSettings(Reopen(), m_autostart);
    EXPECT_EQ(settings.nickName, QStringLiteral("Bob"));
    EXPECT_EQ(settings.serverPortText, QStringLiteral("9000"));
    EXPECT_EQ(settings.ServerPort(), 9000);
    EXPECT_FALSE(settings.autoUpdateCheck);
    EXPECT_EQ(settings.programFolder, QStringLiteral("/home/bob/.local/share/Vantrel"));
}

TEST_F(SettingsTest, EmptyNickNameReadsAnonymous)
{
    m_store->Write(Key, QStringLiteral("NickName"), QString());
    EXPECT_EQ(LoadSettings(*m_store, m_autostart).nickName, QStringLiteral("Anonymous"));
}

TEST(SettingsPort, OnlyPortNumbersAreUsed)
{
    struct Case
    {
        const char* text;
        int port;
    };
    const Case cases[] = {
        {"12666", 12666}, {"9000", 9000},   {"1", 1},         {"65535", 65535},
        {" 8080 ", 8080}, {"0080", 80},     {"12a", 12666},   {"", 12666},
        {"abc", 12666},   {"0", 12666},     {"65536", 12666}, {"-1", 12666},
        {"+80", 12666},   {"8 080", 12666}, {"0x50", 12666},  {"99999999999999999999", 12666},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.serverPortText = QString::fromLatin1(c.text);
        EXPECT_EQ(settings.ServerPort(), c.port) << c.text;
    }
}

TEST_F(SettingsTest, StoredPortIsNormalisedOnLoad)
{
    const std::pair<const char*, const char*> cases[] = {
        {"12a", "12666"}, {"0080", "80"}, {" 9000", "9000"}, {"70000", "12666"}};
    for (const auto& [stored, shown] : cases) {
        m_store->Write(Key, QStringLiteral("ServerPort"), QString::fromLatin1(stored));
        EXPECT_EQ(LoadSettings(*m_store, m_autostart).serverPortText, QLatin1String(shown))
            << stored;
    }
}

TEST_F(SettingsTest, AutoUpdateCheckIsOnOnlyForMissingEmptyOrOne)
{
    EXPECT_TRUE(LoadSettings(*m_store, m_autostart).autoUpdateCheck); // missing
    const std::pair<const char*, bool> cases[] = {{"", true},     {"1", true},   {"0", false},
                                                  {"yes", false}, {" 1", false}, {"2", false}};
    for (const auto& [stored, on] : cases) {
        m_store->Write(Key, QStringLiteral("AutoUpdateCheck"), QString::fromLatin1(stored));
        EXPECT_EQ(LoadSettings(*m_store, m_autostart).autoUpdateCheck, on) << stored;
    }
}

TEST_F(SettingsTest, SaveWritesUsableValues)
{
    Settings settings;
    settings.nickName.clear();
    settings.serverPortText = QStringLiteral("12a");
    settings.autoUpdateCheck = false;
    SaveSettings(*m_store, settings, m_autostart);

    SettingsStore& store = Reopen();
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("ServerPort")), QStringLiteral("12666"));
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("NickName")), QStringLiteral("Anonymous"));
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("AutoUpdateCheck")), QStringLiteral("0"));

    settings.nickName = QStringLiteral(" Ann ");
    settings.serverPortText = QStringLiteral(" 0900 ");
    settings.autoUpdateCheck = true;
    SaveSettings(store, settings, m_autostart);
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("ServerPort")), QStringLiteral("900"));
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("NickName")), QStringLiteral(" Ann "));
    EXPECT_EQ(store.ReadString(Key, QStringLiteral("AutoUpdateCheck")), QStringLiteral("1"));
}

TEST_F(SettingsTest, SaveNeverTouchesProgramPath)
{
    m_store->Write(Key, QStringLiteral("SProgramPath"), QStringLiteral("/data"));
    Settings settings = LoadSettings(*m_store, m_autostart);
    settings.programFolder = QStringLiteral("/elsewhere");
    SaveSettings(*m_store, settings, m_autostart);
    EXPECT_EQ(Reopen().ReadString(Key, QStringLiteral("SProgramPath")), QStringLiteral("/data"));
}

TEST_F(SettingsTest, AutostartEntryIsWrittenAndRemovedOnlyBySave)
{
    Settings settings = LoadSettings(*m_store, m_autostart);
    settings.startWithDesktop = true;
    EXPECT_FALSE(QFile::exists(m_autostart.desktopFile)); // not before Save

    SaveSettings(*m_store, settings, m_autostart);
    const QString text = DesktopText();
    EXPECT_TRUE(text.startsWith(QLatin1String("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\nType=Application\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\nName=Vantrel\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\nExec=/opt/vantrel/vantrel\n")));
    EXPECT_TRUE(LoadSettings(*m_store, m_autostart).startWithDesktop);

    // Loading reads the entry but leaves it alone, whatever the field says later.
    settings = LoadSettings(*m_store, m_autostart);
    settings.startWithDesktop = false;
    EXPECT_TRUE(QFile::exists(m_autostart.desktopFile));

    SaveSettings(*m_store, settings, m_autostart);
    EXPECT_FALSE(QFile::exists(m_autostart.desktopFile));
    EXPECT_FALSE(LoadSettings(*m_store, m_autostart).startWithDesktop);

    // Off with no entry present stays quiet.
    SaveSettings(*m_store, settings, m_autostart);
    EXPECT_FALSE(QFile::exists(m_autostart.desktopFile));
}

TEST_F(SettingsTest, AutostartEntryWithoutCommandReadsOff)
{
    const QString relative = QStringLiteral("config/autostart/vantrel.desktop");
    const std::pair<const char*, bool> cases[] = {
        {"[Desktop Entry]\nType=Application\nExec=\n", false},
        {"[Desktop Entry]\nType=Application\nExec=   \n", false},
        {"[Desktop Entry]\nType=Application\n", false},
        {"[Other]\nExec=/bin/true\n", false},
        {"[Desktop Entry]\nExec = /bin/true\n", true},
        {"# comment\n[Desktop Entry]\nName=Vantrel\nExec=/bin/true --x\n", true},
    };
    for (const auto& [content, on] : cases) {
        m_temp.write(relative, content);
        EXPECT_EQ(LoadSettings(*m_store, m_autostart).startWithDesktop, on) << content;
    }
}

TEST_F(SettingsTest, GarbledStoreStillLoadsDefaults)
{
    const char junk[] = "\xff\xfe[General\nNickName\n=12\n[[]]\nServerPort=\"\n\x01\x02";
    m_temp.write(QStringLiteral("Vantrel.ini"), QByteArray(junk, sizeof(junk) - 1));
    const Settings settings = LoadSettings(Reopen(), m_autostart);
    EXPECT_FALSE(settings.nickName.isEmpty());
    EXPECT_GE(settings.ServerPort(), 1);
    EXPECT_LE(settings.ServerPort(), 65535);
    SaveSettings(*m_store, settings, m_autostart);
    EXPECT_EQ(Reopen().ReadString(Key, QStringLiteral("NickName")), settings.EffectiveNickName());
}

// Restores one environment variable when the test ends.
class EnvGuard
{
public:
    explicit EnvGuard(const char* name) : m_name(name), m_had(qEnvironmentVariableIsSet(name))
    {
        m_value = qgetenv(name);
    }
    ~EnvGuard()
    {
        if (m_had)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_value;
};

TEST(DefaultAutostartEntry, FollowsXdgConfigHome)
{
    EnvGuard guard("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/xdg-config");
    EXPECT_EQ(DefaultAutostartEntry(QStringLiteral("/usr/bin/vantrel")).desktopFile,
              QStringLiteral("/tmp/xdg-config/autostart/vantrel.desktop"));

    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(DefaultAutostartEntry(QStringLiteral("/usr/bin/vantrel")).desktopFile,
              QDir::homePath() + QStringLiteral("/.config/autostart/vantrel.desktop"));

    qputenv("XDG_CONFIG_HOME", "relative/config"); // invalid: ignored
    EXPECT_EQ(DefaultAutostartEntry(QStringLiteral("/usr/bin/vantrel")).desktopFile,
              QDir::homePath() + QStringLiteral("/.config/autostart/vantrel.desktop"));
}

TEST(DefaultAutostartEntry, CommandQuotesArgumentsAndCarriesTheProfile)
{
    EXPECT_EQ(DefaultAutostartEntry(QStringLiteral("/usr/bin/vantrel")).command,
              QStringLiteral("/usr/bin/vantrel"));
    EXPECT_EQ(
        DefaultAutostartEntry(QStringLiteral("/opt/my apps/vantrel"),
                              QStringLiteral("/home/bob/Vantrel profile"))
            .command,
        QStringLiteral("env \"VANTREL_HOME=/home/bob/Vantrel profile\" \"/opt/my apps/vantrel\""));
    EXPECT_EQ(DefaultAutostartEntry(QStringLiteral("/opt/100%/a$b\"c/vantrel")).command,
              QStringLiteral("\"/opt/100%%/a\\$b\\\"c/vantrel\""));
}

TEST_F(SettingsTest, DesktopFileEscapesBackslashesOfTheCommand)
{
    m_autostart.command = QStringLiteral("\"/opt/a\\\\b/vantrel\"");
    Settings settings;
    settings.startWithDesktop = true;
    SaveSettings(*m_store, settings, m_autostart);
    EXPECT_TRUE(DesktopText().contains(QLatin1String("\nExec=\"/opt/a\\\\\\\\b/vantrel\"\n")))
        << DesktopText().toStdString();
}

} // namespace
} // namespace vantrel
