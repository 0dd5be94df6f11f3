#include "core/commandline.h"

#include "core/profile.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

using namespace Qt::Literals::StringLiterals;

namespace vantrel {
namespace {

// Runs in a scratch folder as the current folder, so that relative names can exist.
class CommandLineParseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_temp.path()));
    }
    void TearDown() override { QDir::setCurrent(m_previous); }

    test::TempFolder m_temp;
    QString m_previous;
};

TEST_F(CommandLineParseTest, KnownOptionsUnknownOptionsAndPaths)
{
    using commandline::Command;
    m_temp.write(QStringLiteral("--help"), "a file named like an option");
    m_temp.write(QStringLiteral("--trust peer.pem"), "a file whose name holds a space");
    ASSERT_TRUE(QDir(m_temp.path()).mkdir(QStringLiteral("--version")));
    struct Case
    {
        QList<QByteArray> arguments;
        Command command;
        QString argument;
    };
    const Case cases[] = {
        {{}, Command::None, {}},
        {{"/tmp/file"}, Command::None, {}},
        {{"missing.txt"}, Command::None, {}}, // a path, even one that does not exist
        {{"-x"}, Command::None, {}},          // only "--" begins an option
        {{"--install"}, Command::Install, {}},
        {{"--install", "x"}, Command::Invalid, {}},
        {{"--print-ca"}, Command::PrintAuthority, {}},
        {{"--export-ca", "/tmp/ca file.pem"},
         Command::ExportAuthority,
         QStringLiteral("/tmp/ca file.pem")},
        {{"--export-ca"}, Command::Invalid, {}},
        {{"--trust", "peer.pem"}, Command::None, {}}, // names the file "--trust peer.pem"
        {{"--trust", "other.pem"}, Command::TrustAuthority, QStringLiteral("other.pem")},
        {{"--trust", "a", "b"}, Command::Invalid, {}},
        {{"-h"}, Command::Help, {}},
        {{"--help"}, Command::None, {}},     // the file "--help" here
        {{"\"--help\""}, Command::None, {}}, // the same, quoted by a launcher
        {{"./--help"}, Command::None, {}},
        {{"--version"}, Command::None, {}}, // the folder "--version" here
        {{"--version", "x"}, Command::Invalid, {}},
        {{"--frobnicate"}, Command::Invalid, {}},
        {{"--"}, Command::Invalid, {}},
        {{"--help-me"}, Command::Invalid, {}},
        {{"/tmp/x", "--help"}, Command::None, {}}, // a path that merely contains an option
    };
    for (const Case& c : cases) {
        const commandline::Parsed parsed = commandline::Parse(c.arguments);
        const std::string shown = c.arguments.join(' ').toStdString();
        EXPECT_EQ(parsed.command, c.command) << shown;
        EXPECT_EQ(parsed.argument, c.argument) << shown;
        EXPECT_EQ(parsed.error.isEmpty(), c.command != Command::Invalid) << shown;
    }
    // Where nothing is named so, the same words are options.
    QFile::remove(m_temp.file(QStringLiteral("--help")));
    QDir(m_temp.path()).rmdir(QStringLiteral("--version"));
    EXPECT_EQ(commandline::Parse({"--help"}).command, Command::Help);
    EXPECT_EQ(commandline::Parse({"--version"}).command, Command::Version);
}

TEST_F(CommandLineParseTest, RuleOptions)
{
    using commandline::Command;
    using Kind = RulesRequest::Kind;
    const QString here = m_temp.path();
    struct Case
    {
        QList<QByteArray> arguments;
        Command command;
        Kind kind = Kind::List;
        QString host = {};
        QString folder = {};
        QString limit = {};
        qint64 number = 0;
    };
    const Case cases[] = {
        {{"--rules"}, Command::Rules, Kind::List},
        {{"--rules", "x"}, Command::Invalid},
        {{"--rule-add", "peer", "/srv/in"},
         Command::Rules,
         Kind::Add,
         u"peer"_s,
         u"/srv/in"_s,
         u"0"_s},
        {{"--rule-add", "10.0.0.2", "/srv/in", "--limit", "250"},
         Command::Rules,
         Kind::Add,
         u"10.0.0.2"_s,
         u"/srv/in"_s,
         u"250"_s},
        {{"--rule-add", "--limit", "7", "peer", "/srv/in"},
         Command::Rules,
         Kind::Add,
         u"peer"_s,
         u"/srv/in"_s,
         u"7"_s},
        // Relative to where the command was typed, not to the running copy's folder.
        {{"--rule-add", "peer", "in"},
         Command::Rules,
         Kind::Add,
         u"peer"_s,
         here + u"/in"_s,
         u"0"_s},
        {{"--rule-add", "peer", "./in/../out"},
         Command::Rules,
         Kind::Add,
         u"peer"_s,
         here + u"/out"_s,
         u"0"_s},
        // Left to the rules' own checks, with their messages.
        {{"--rule-add", "", ""}, Command::Rules, Kind::Add, u""_s, u""_s, u"0"_s},
        {{"--rule-add", "peer"}, Command::Invalid},
        {{"--rule-add", "peer", "/srv/in", "extra"}, Command::Invalid},
        {{"--rule-add", "peer", "/srv/in", "--limit"}, Command::Invalid},
        {{"--rule-add", "peer", "/srv/in", "--limit", "fast"}, Command::Invalid},
        {{"--rule-add", "peer", "/srv/in", "--limit", "-5"}, Command::Invalid},
        {{"--rule-add", "peer", "/srv/in", "--limit", "4294967296"}, Command::Invalid},
        {{"--rule-remove", "2"}, Command::Rules, Kind::Remove, {}, {}, {}, 2},
        {{"--rule-remove"}, Command::Invalid},
        {{"--rule-remove", "0"}, Command::Invalid},
        {{"--rule-remove", "two"}, Command::Invalid},
        {{"--rule-remove", "1", "2"}, Command::Invalid},
    };
    for (const Case& c : cases) {
        const commandline::Parsed parsed = commandline::Parse(c.arguments);
        const std::string shown = c.arguments.join(' ').toStdString();
        ASSERT_EQ(parsed.command, c.command) << shown;
        if (c.command == Command::Invalid) {
            EXPECT_FALSE(parsed.error.isEmpty()) << shown;
            continue;
        }
        EXPECT_EQ(parsed.rules.kind, c.kind) << shown;
        EXPECT_EQ(parsed.rules.host, c.host) << shown;
        EXPECT_EQ(parsed.rules.saveFolder, c.folder) << shown;
        EXPECT_EQ(parsed.rules.bandLimit, c.limit) << shown;
        EXPECT_EQ(parsed.rules.number, c.number) << shown;
    }
}

TEST_F(CommandLineParseTest, SendOptions)
{
    using commandline::Command;
    const QString here = m_temp.path();
    struct Case
    {
        QList<QByteArray> arguments;
        Command command;
        SendRequest send = {};
    };
    const Case cases[] = {
        {{"--send", "peer", "/tmp/x"}, Command::Send, {u"peer"_s, u"/tmp/x"_s, {}, true, 0}},
        {{"--send", "peer:9000", "x y.txt", "--comment", "for you", "--no-compress", "--limit",
          "64"},
         Command::Send,
         {u"peer:9000"_s, here + u"/x y.txt"_s, u"for you"_s, false, 64}},
        {{"--send", "--comment", "", "peer", "/tmp/x"},
         Command::Send,
         {u"peer"_s, u"/tmp/x"_s, {}, true, 0}},
        {{"--send"}, Command::Invalid},
        {{"--send", "peer"}, Command::Invalid},
        {{"--send", "peer", "/tmp/x", "/tmp/y"}, Command::Invalid},
        {{"--send", "peer", "/tmp/x", "--comment"}, Command::Invalid},
        {{"--send", "peer", "/tmp/x", "--limit", "lots"}, Command::Invalid},
        // Without a host the send would wait for ever; an empty path names no file.
        {{"--send", "", "/tmp/x"}, Command::Invalid},
        {{"--send", "  ", "/tmp/x"}, Command::Invalid},
        {{"--send", ":9000", "/tmp/x"}, Command::Invalid},
        {{"--send", "(nick)", "/tmp/x"}, Command::Invalid},
        {{"--send", "peer", ""}, Command::Invalid},
    };
    for (const Case& c : cases) {
        const commandline::Parsed parsed = commandline::Parse(c.arguments);
        const std::string shown = c.arguments.join(' ').toStdString();
        ASSERT_EQ(parsed.command, c.command) << shown;
        EXPECT_EQ(parsed.error.isEmpty(), c.command != Command::Invalid) << shown;
        if (c.command == Command::Invalid)
            continue;
        EXPECT_EQ(parsed.send.hostText, c.send.hostText) << shown;
        EXPECT_EQ(parsed.send.path, c.send.path) << shown;
        EXPECT_EQ(parsed.send.comment, c.send.comment) << shown;
        EXPECT_EQ(parsed.send.compress, c.send.compress) << shown;
        EXPECT_EQ(parsed.send.bandLimit, c.send.bandLimit) << shown;
    }
}

TEST(CommandLineTest, HelpVersionAndUsageGoWhereTheyBelong)
{
    test::TempFolder temp;
    const Profile profile = Profile::Portable(temp.path());
    struct Case
    {
        commandline::Parsed parsed;
        int exitCode;
        QString inOut;    // expected on standard output
        QString inErrors; // expected on standard error
    };
    const Case cases[] = {
        {commandline::Parse({"-h"}), 0, QStringLiteral("--export-ca FILE"), {}},
        {commandline::Parse({"--version"}), 0, QStringLiteral("Vantrel 1.20"), {}},
        {commandline::Parse({"--bogus"}), 2, {}, QStringLiteral("unknown option --bogus")},
    };
    for (const Case& c : cases) {
        QString outText, errorText;
        QTextStream out(&outText), errors(&errorText);
        EXPECT_EQ(commandline::Run(c.parsed, profile, out, errors), c.exitCode);
        EXPECT_EQ(outText.isEmpty(), c.inOut.isEmpty()) << outText.toStdString();
        EXPECT_EQ(errorText.isEmpty(), c.inErrors.isEmpty()) << errorText.toStdString();
        EXPECT_TRUE(outText.contains(c.inOut)) << outText.toStdString();
        EXPECT_TRUE(errorText.contains(c.inErrors)) << errorText.toStdString();
        if (c.exitCode == 2) { // a short usage, not the whole help
            EXPECT_TRUE(errorText.contains(QStringLiteral("vantrel --help")));
            EXPECT_FALSE(errorText.contains(QStringLiteral("--export-ca FILE   write")));
        }
    }
    // Nothing of the above touched the profile.
    EXPECT_FALSE(QFileInfo::exists(temp.file(QStringLiteral("Vantrel.ini"))));

    // Every option the parser knows is in the help.
    for (const char* option :
         {"--install", "--print-ca", "--export-ca", "--trust", "--help", "--version", "--rules",
          "--rule-add", "--limit", "--rule-remove", "--send", "--comment", "--no-compress"})
        EXPECT_TRUE(commandline::HelpText().contains(QLatin1String(option))) << option;
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

    // The computer's own certificate is no authority: trusting it would verify nothing.
    errorText.clear();
    outText.clear();
    const commandline::Parsed trustServer =
        commandline::Parse({"--trust", temp.file(QStringLiteral("servercert.pem")).toLocal8Bit()});
    EXPECT_EQ(commandline::Run(trustServer, profile, out, errors), 1);
    EXPECT_TRUE(errorText.contains(QStringLiteral("not an authority certificate")))
        << errorText.toStdString();
    EXPECT_FALSE(outText.contains(QStringLiteral("Now trusting")));

    EXPECT_EQ(commandline::Run(commandline::Parse({"--trust"}), profile, out, errors), 2);
}

} // namespace
} // namespace vantrel
