#include "core/profile.h"

#include "core/base/settingsstore.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <optional>

namespace vantrel {
namespace {

// Sets (or unsets) environment variables for one test and puts them back afterwards.
class ScopedEnvironment
{
public:
    void Set(const char* name, const std::optional<QString>& value)
    {
        m_saved.push_back({name, qEnvironmentVariableIsSet(name)
                                     ? std::optional<QByteArray>(qgetenv(name))
                                     : std::nullopt});
        if (value)
            qputenv(name, value->toLocal8Bit());
        else
            qunsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                qputenv(it->first, *it->second);
            else
                qunsetenv(it->first);
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

TEST(ProfileTest, ResolvesFoldersFromVantrelHomeOrXdg)
{
    test::TempFolder temp;
    const QString home = temp.file(QStringLiteral("portable"));
    const QString config = temp.file(QStringLiteral("xdgconfig"));
    const QString data = temp.file(QStringLiteral("xdgdata"));
    struct Case
    {
        std::optional<QString> vantrelHome, xdgConfig, xdgData;
        QString expectedConfig, expectedData, expectedHome;
    };
    const Case cases[] = {
        // A portable profile wins over the XDG variables and keeps everything in one folder.
        {home, config, data, home, home, home},
        {home + QStringLiteral("/./sub/.."), std::nullopt, std::nullopt, home, home, home},
        {std::nullopt, config, data, config + QStringLiteral("/Vantrel"),
         data + QStringLiteral("/Vantrel"), QString()},
        // Relative XDG values are invalid and fall back to the home folder's defaults.
        {std::nullopt, QStringLiteral("relative"), std::nullopt,
         QDir::homePath() + QStringLiteral("/.config/Vantrel"),
         QDir::homePath() + QStringLiteral("/.local/share/Vantrel"), QString()},
    };
    for (const Case& c : cases) {
        ScopedEnvironment env;
        env.Set("VANTREL_HOME", c.vantrelHome);
        env.Set("XDG_CONFIG_HOME", c.xdgConfig);
        env.Set("XDG_DATA_HOME", c.xdgData);
        const Profile profile = Profile::FromEnvironment();
        SCOPED_TRACE(c.expectedConfig.toStdString());
        EXPECT_EQ(profile.configFolder(), c.expectedConfig);
        EXPECT_EQ(profile.dataFolder(), c.expectedData);
        EXPECT_EQ(profile.home(), c.expectedHome);
        EXPECT_EQ(profile.iniFile(), c.expectedConfig + QStringLiteral("/Vantrel.ini"));
    }
}

TEST(ProfileTest, InstanceNameFollowsTheFolderNotItsSpelling)
{
    test::TempFolder temp;
    const QString real = temp.file(QStringLiteral("real"));
    ASSERT_TRUE(QDir().mkpath(real));
    const QString link = temp.file(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(real, link));

    const QString name = Profile::Portable(real).InstanceName();
    EXPECT_EQ(Profile::Portable(link).InstanceName(), name);
    EXPECT_EQ(Profile::Portable(real + QStringLiteral("/../real/")).InstanceName(), name);
    EXPECT_NE(Profile::Portable(temp.file(QStringLiteral("other"))).InstanceName(), name);
    EXPECT_LT(name.size(), 40); // fits a local socket path anywhere
}

TEST(ProfileTest, ProgramFolderIsTheInstalledPathElseTheDataFolder)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    SettingsStore store(profile.iniFile());
    EXPECT_EQ(profile.ProgramFolderFrom(store).path(), temp.path());
    store.Write(SettingsStore::MainKey, QStringLiteral("SProgramPath"), QStringLiteral("/opt/x"));
    EXPECT_EQ(profile.ProgramFolderFrom(store).path(), QStringLiteral("/opt/x"));
}

} // namespace
} // namespace vantrel
