#include "core/commandline.h"

#include "core/installation.h"
#include "core/profile.h"
#include "core/base/settingsstore.h"

#include <QFile>
#include <QTextStream>

namespace vantrel::commandline {

namespace {

struct Known
{
    const char* name;
    Command command;
    bool takesFile;
};

constexpr Known Commands[] = {
    {"--install", Command::Install, false},
    {"--print-ca", Command::PrintAuthority, false},
    {"--export-ca", Command::ExportAuthority, true},
    {"--trust", Command::TrustAuthority, true},
    {"--help", Command::Help, false},
    {"-h", Command::Help, false},
};

int Report(const installation::Result& result, QTextStream& out, QTextStream& errors)
{
    (result.ok ? out : errors) << result.message << Qt::endl;
    return result.ok ? 0 : 1;
}

} // namespace

Parsed Parse(const QList<QByteArray>& arguments)
{
    if (arguments.isEmpty())
        return {};
    for (const Known& known : Commands) {
        if (arguments.front() != known.name)
            continue;
        const QString name = QString::fromLatin1(known.name);
        const qsizetype wanted = known.takesFile ? 2 : 1;
        if (arguments.size() != wanted) {
            return {Command::Invalid,
                    {},
                    known.takesFile ? QStringLiteral("%1 takes one file name.").arg(name)
                                    : QStringLiteral("%1 takes no arguments.").arg(name)};
        }
        return {known.command, known.takesFile ? QFile::decodeName(arguments[1]) : QString(), {}};
    }
    return {};
}

QString HelpText()
{
    return QStringLiteral(
        "Usage: vantrel [PATH | COMMAND]\n"
        "\n"
        "Without arguments, starts Vantrel (one copy per profile; a second start ends at once).\n"
        "With a PATH (a file or a folder), hands it to the running copy, starting one when\n"
        "none runs, which opens a send window for it. The arguments are taken as one path,\n"
        "joined by single spaces; one pair of surrounding quotes is removed. A path that\n"
        "begins like a command can be given as ./NAME.\n"
        "\n"
        "Commands:\n"
        "  --install          set up the profile: sounds, folders and certificates (existing\n"
        "                     certificates and keys are kept)\n"
        "  --print-ca         print this profile's authority certificate and its fingerprint\n"
        "  --export-ca FILE   write this profile's authority certificate to FILE\n"
        "  --trust FILE       trust the authority certificate in FILE for outgoing connections\n"
        "                     (the other computer's --export-ca)\n"
        "  --help             show this text\n"
        "\n"
        "Profile: VANTREL_HOME=DIR keeps everything in DIR; otherwise settings live in\n"
        "$XDG_CONFIG_HOME/Vantrel and the program folder is $XDG_DATA_HOME/Vantrel.\n"
        "Without a display, Vantrel runs headless; stop it with Ctrl+C or SIGTERM.");
}

int Run(const Parsed& parsed, const Profile& profile, QTextStream& out, QTextStream& errors)
{
    switch (parsed.command) {
    case Command::None:
        return 0;
    case Command::Help:
        out << HelpText() << Qt::endl;
        return 0;
    case Command::Invalid:
        errors << "Vantrel: " << parsed.error << "\n\n" << HelpText() << Qt::endl;
        return 2;
    default:
        break;
    }

    SettingsStore store(profile.iniFile());
    if (parsed.command == Command::Install)
        return Report(installation::Install(profile, store), out, errors);
    if (!installation::IsInstalled(store)) {
        const installation::Result installed = installation::Install(profile, store);
        if (Report(installed, out, errors) != 0)
            return 1;
    }
    const ProgramFolder folder = profile.ProgramFolderFrom(store);
    switch (parsed.command) {
    case Command::PrintAuthority:
        return Report(installation::DescribeAuthority(folder), out, errors);
    case Command::ExportAuthority:
        return Report(installation::ExportAuthority(folder, parsed.argument), out, errors);
    case Command::TrustAuthority:
        return Report(installation::TrustAuthority(folder, parsed.argument), out, errors);
    default:
        return 0;
    }
}

} // namespace vantrel::commandline
