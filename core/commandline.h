#pragma once

#include "core/rulesrequest.h"
#include "core/sendrequest.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QTextStream;

namespace vantrel {

class Profile;

// The command-line options of the program ("--install", "--print-ca", "--export-ca FILE",
// "--trust FILE", "--send HOST[:PORT] PATH ...", "--rules", "--rule-add HOST DIR [--limit KBPS]",
// "--rule-remove N",
// "--help", "--version"). Any other command line is a path to send, except
// one that begins with "--" and names nothing that exists: that is an unknown option.
namespace commandline {

enum class Command
{
    None,
    Install,
    PrintAuthority,
    ExportAuthority,
    TrustAuthority,
    Help,
    Version,
    Rules, // --rules, --rule-add and --rule-remove: see `rules`
    Send,  // --send: see `send`
    Invalid
};

struct Parsed
{
    Command command = Command::None;
    QString argument; // FILE of --export-ca and --trust
    QString error;    // why the command line is Invalid
    RulesRequest rules;
    SendRequest send;
};

// None when the command line is a path to hand off: it names an existing file or folder
// (whatever it looks like), or its first argument does not begin with "--".
Parsed Parse(const QList<QByteArray>& arguments);

QString HelpText();
QString ShortUsage();
QString VersionText();

// Runs a command on the profile (installing it first when it never was) and returns the
// exit code; results go to `out`, failures to `errors`. Command::Rules is not run here: it
// goes to the running copy (see rulesstart), Command::Send to commandlinesend.
int Run(const Parsed& parsed, const Profile& profile, QTextStream& out, QTextStream& errors);

} // namespace commandline

} // namespace vantrel
