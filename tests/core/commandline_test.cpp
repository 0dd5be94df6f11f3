#include "core/commandline.h"

#include "core/profile.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QTextStream>

namespace vantrel {
namespace {

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
