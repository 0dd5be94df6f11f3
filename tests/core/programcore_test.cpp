#include "core/programcore.h"

#include "core/commandline.h"
#include "core/handoffreceiver.h"
#include "core/installation.h"
#include "send/zipbridgeloader.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace vantrel {
namespace {

ProgramCore::Options BuildFolderOptions()
{
    ProgramCore::Options options;
    options.executableFolder = test::BuildFolder();
    options.executable = QStringLiteral("/opt/vantrel/vantrel");
    return options;
}

TEST(ProgramCoreTest, TwoCopiesInOneProcessKeepTheirOwnState)
{
    test::TempFolder first, second;
    ProgramCore a(Profile::Portable(first.path()));
    ProgramCore b(Profile::Portable(second.path()));
    a.store().Write(SettingsStore::MainKey, QStringLiteral("ServerPort"), QStringLiteral("4242"));
    b.store().Write(SettingsStore::MainKey, QStringLiteral("NickName"), QStringLiteral("Bee"));
    const QString currentBefore = QDir::currentPath();

    ASSERT_EQ(a.Initialise(BuildFolderOptions()), ProgramCore::InitResult::Ok);
    ASSERT_EQ(b.Initialise(BuildFolderOptions()), ProgramCore::InitResult::Ok);

    EXPECT_EQ(QDir::currentPath(), currentBefore); // only the real program moves there
    EXPECT_EQ(a.folder().path(), first.path());
    EXPECT_EQ(b.folder().path(), second.path());
    EXPECT_EQ(a.settings().ServerPort(), 4242);
    EXPECT_EQ(b.settings().ServerPort(), DefaultServerPort);
    EXPECT_EQ(b.settings().EffectiveNickName(), QStringLiteral("Bee"));
    ASSERT_NE(a.handOff(), nullptr);
    EXPECT_EQ(a.handOff()->folder().path(), first.path());
    EXPECT_NE(a.zip(), nullptr);
    EXPECT_TRUE(a.autostart().command.contains(first.path())); // starts this profile again
}

TEST(ProgramCoreTest, MakesTheProgramFolderCurrentOnlyWhenAsked)
{
    test::TempFolder temp;
    const QString before = QDir::currentPath();
    ProgramCore core(Profile::Portable(temp.path()));
    ProgramCore::Options options = BuildFolderOptions();
    options.makeProgramFolderCurrent = true;
    EXPECT_EQ(core.Initialise(options), ProgramCore::InitResult::Ok);
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(),
              QFileInfo(temp.path()).canonicalFilePath());
    QDir::setCurrent(before);
}

TEST(CommandLineTest, ParsesOnlyTheKnownCommands)
{
    using commandline::Command;
    struct Case
    {
        QList<QByteArray> arguments;
        Command command;
        QString argument;
    };
    const Case cases[] = {
        {{}, Command::None, {}},
        {{"/tmp/file"}, Command::None, {}},
        {{"--install"}, Command::Install, {}},
        {{"--install", "x"}, Command::Invalid, {}},
        {{"--print-ca"}, Command::PrintAuthority, {}},
        {{"--export-ca", "/tmp/ca file.pem"},
         Command::ExportAuthority,
         QStringLiteral("/tmp/ca file.pem")},
        {{"--export-ca"}, Command::Invalid, {}},
        {{"--trust", "peer.pem"}, Command::TrustAuthority, QStringLiteral("peer.pem")},
        {{"--trust", "a", "b"}, Command::Invalid, {}},
        {{"--help"}, Command::Help, {}},
        {{"/tmp/x", "--help"}, Command::None, {}}, // a path that merely contains a command
    };
    for (const Case& c : cases) {
        const commandline::Parsed parsed = commandline::Parse(c.arguments);
        EXPECT_EQ(parsed.command, c.command) << c.arguments.join(' ').constData();
        EXPECT_EQ(parsed.argument, c.argument);
        EXPECT_EQ(parsed.error.isEmpty(), c.command != Command::Invalid);
    }
}

TEST(CommandLineTest, TrustOnAFreshProfileInstallsItFirst)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    QString outText, errorText;
    QTextStream out(&outText), errors(&errorText);

    const commandline::Parsed printCa = commandline::Parse({"--print-ca"});
    EXPECT_EQ(commandline::Run(printCa, profile, out, errors), 0) << errorText.toStdString();
    EXPECT_TRUE(outText.contains(QStringLiteral("is installed in")));
    EXPECT_TRUE(outText.contains(QStringLiteral("SHA-256 fingerprint")));

    temp.write(QStringLiteral("bad.pem"), "not a certificate");
    const commandline::Parsed trust =
        commandline::Parse({"--trust", temp.file(QStringLiteral("bad.pem")).toLocal8Bit()});
    EXPECT_EQ(commandline::Run(trust, profile, out, errors), 1);
    EXPECT_TRUE(errorText.contains(QStringLiteral("does not hold a PEM certificate")));

    EXPECT_EQ(commandline::Run(commandline::Parse({"--trust"}), profile, out, errors), 2);
}

} // namespace
} // namespace vantrel
