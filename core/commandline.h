#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QTextStream;

namespace vantrel {

class Profile;

// The maintenance commands of the program ("--install", "--print-ca", "--export-ca FILE",
// "--trust FILE", "--help"). Any other command line is a path to send.
namespace commandline {

enum class Command
{
    None,
    Install,
    PrintAuthority,
    ExportAuthority,
    TrustAuthority,
    Help,
    Invalid
};

struct Parsed
{
    Command command = Command::None;
    QString argument; // FILE of --export-ca and --trust
    QString error;    // why the command line is Invalid
};

// None when the first argument is not one of the commands.
Parsed Parse(const QList<QByteArray>& arguments);

QString HelpText();

// Runs a command on the profile (installing it first when it never was) and returns the
// exit code; results go to `out`, failures to `errors`.
int Run(const Parsed& parsed, const Profile& profile, QTextStream& out, QTextStream& errors);

} // namespace commandline

} // namespace vantrel
