#include "core/commandline.h"

#include "core/base/programversion.h"
#include "core/base/settingsstore.h"
#include "core/handoff.h"
#include "core/installation.h"
#include "core/profile.h"
#include "netutil/parsehosttext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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
    {"--version", Command::Version, false},
    {"--rules", Command::Rules, false},
};

Parsed Invalid(const QString& error)
{
    return {Command::Invalid, {}, error, {}, {}};
}

// A whole number of Kb/sec that the rules file can hold.
bool IsBandLimit(const QByteArray& text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && !text.startsWith('+') && !text.startsWith('-') && value <= 0x7FFFFFFF;
}

Parsed ParseRuleAdd(const QList<QByteArray>& arguments)
{
    QList<QByteArray> fields;
    QByteArray limit = "0";
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] != "--limit") {
            fields << arguments[i];
            continue;
        }
        if (++i == arguments.size() || !IsBandLimit(arguments[i]))
            return Invalid(QStringLiteral("--limit takes a whole number of Kb/sec (0: no limit)."));
        limit = arguments[i];
    }
    if (fields.size() != 2)
        return Invalid(QStringLiteral("--rule-add takes a host and a folder."));
    Parsed parsed{Command::Rules, {}, {}, {}, {}};
    parsed.rules.kind = RulesRequest::Kind::Add;
    parsed.rules.host = QString::fromUtf8(fields[0]);
    // The running copy works in its program folder: a relative folder means this one.
    const QString folder = QFile::decodeName(fields[1]);
    parsed.rules.saveFolder = folder.isEmpty() || QDir::isAbsolutePath(folder)
                                  ? folder
                                  : QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    parsed.rules.bandLimit = QString::fromLatin1(limit);
    return parsed;
}

Parsed ParseSend(const QList<QByteArray>& arguments)
{
    QList<QByteArray> fields;
    Parsed parsed{Command::Send, {}, {}, {}, {}};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        if (argument == "--no-compress") {
            parsed.send.compress = false;
        } else if (argument == "--trust-fingerprint") {
            if (++i == arguments.size())
                return Invalid(QStringLiteral("--trust-fingerprint takes a fingerprint."));
            QString digits;
            for (const QChar c : QString::fromLatin1(arguments[i])) {
                if (c != QLatin1Char(':') && c != QLatin1Char(' ') && c != QLatin1Char('\n'))
                    digits += c.toUpper();
            }
            static const QRegularExpression Sha256Hex(QStringLiteral("^[0-9A-F]{64}$"));
            if (!Sha256Hex.match(digits).hasMatch())
                return Invalid(QStringLiteral(
                    "--trust-fingerprint takes a SHA-256 fingerprint: 64 hex digits, spaces and "
                    "colons allowed."));
            parsed.send.trustFingerprint = digits;
        } else if (argument == "--comment" || argument == "--limit") {
            if (++i == arguments.size())
                return Invalid(QStringLiteral("%1 takes a value.").arg(QLatin1String(argument)));
            if (argument == "--comment") {
                parsed.send.comment = QString::fromUtf8(arguments[i]);
            } else if (!IsBandLimit(arguments[i])) {
                return Invalid(
                    QStringLiteral("--limit takes a whole number of Kb/sec (0: no limit)."));
            } else {
                parsed.send.bandLimit = arguments[i].toUInt();
            }
        } else {
            fields << argument;
        }
    }
    if (fields.size() != 2)
        return Invalid(QStringLiteral("--send takes a host and a path."));
    // A send without a host would wait for ever, and an empty path would name the current
    // folder.
    if (ParseHostText(QString::fromUtf8(fields[0])).host.isEmpty())
        return Invalid(QStringLiteral("--send needs a host name or address."));
    if (fields[1].isEmpty())
        return Invalid(QStringLiteral("--send needs a path to send."));
    parsed.send.hostText = QString::fromUtf8(fields[0]);
    const QString path = QFile::decodeName(fields[1]);
    parsed.send.path = QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path);
    return parsed;
}

Parsed ParseRuleRemove(const QList<QByteArray>& arguments)
{
    bool ok = false;
    const qint64 number = arguments.size() == 2 ? arguments[1].toLongLong(&ok) : 0;
    if (!ok || number < 1)
        return Invalid(QStringLiteral("--rule-remove takes the number of a rule, as --rules "
                                      "lists it."));
    Parsed parsed{Command::Rules, {}, {}, {}, {}};
    parsed.rules.kind = RulesRequest::Kind::Remove;
    parsed.rules.number = number;
    return parsed;
}

bool NamesSomethingThatExists(const QList<QByteArray>& arguments)
{
    const QByteArray tail = handoff::CommandLineTail(arguments);
    return !tail.isEmpty() && QFileInfo::exists(QFile::decodeName(tail));
}

int Report(const installation::Result& result, QTextStream& out, QTextStream& errors)
{
    (result.ok ? out : errors) << result.message << Qt::endl;
    return result.ok ? 0 : 1;
}

} // namespace

Parsed Parse(const QList<QByteArray>& arguments)
{
    // A file or folder is sent whatever its name looks like.
    if (arguments.isEmpty() || NamesSomethingThatExists(arguments))
        return {};
    for (const Known& known : Commands) {
        if (arguments.front() != known.name)
            continue;
        const QString name = QString::fromLatin1(known.name);
        const qsizetype wanted = known.takesFile ? 2 : 1;
        if (arguments.size() != wanted) {
            return Invalid(known.takesFile ? QStringLiteral("%1 takes one file name.").arg(name)
                                           : QStringLiteral("%1 takes no arguments.").arg(name));
        }
        Parsed parsed{known.command, {}, {}, {}, {}};
        if (known.takesFile)
            parsed.argument = QFile::decodeName(arguments[1]);
        return parsed;
    }
    if (arguments.front() == "--rule-add")
        return ParseRuleAdd(arguments);
    if (arguments.front() == "--rule-remove")
        return ParseRuleRemove(arguments);
    if (arguments.front() == "--send")
        return ParseSend(arguments);
    if (arguments.front().startsWith("--"))
        return Invalid(
            QStringLiteral("unknown option %1.").arg(QFile::decodeName(arguments.front())));
    return {};
}

QString HelpText()
{
    return QStringLiteral(
        "Usage: vantrel [PATH | OPTION]\n"
        "\n"
        "Without arguments, starts Vantrel (one copy per profile; a second start ends at once).\n"
        "With a PATH (a file or a folder), hands it to the running copy, starting one when\n"
        "none runs, which opens a send window for it. The arguments are taken as one path,\n"
        "joined by single spaces; one pair of surrounding quotes is removed. A path that names\n"
        "an existing file or folder is always sent, even one named like an option.\n"
        "\n"
        "Options:\n"
        "  --install          set up the profile: sounds, folders and certificates (existing\n"
        "                     certificates and keys are kept)\n"
        "  --print-ca         print this profile's authority certificate and its fingerprint\n"
        "  --export-ca FILE   write this profile's authority certificate to FILE\n"
        "  --trust FILE       trust the authority certificate in FILE for outgoing connections\n"
        "                     (the other computer's --export-ca)\n"
        "  --send HOST[:PORT] PATH\n"
        "                     send PATH (a file or a folder) to HOST with this profile's\n"
        "                     certificates and nickname, without listening (it runs beside a\n"
        "                     running copy). Ctrl+C stops it; the same command again resumes\n"
        "                     where the receiver kept the data. A receiver whose authority is\n"
        "                     not trusted shows that authority's fingerprint, and on a\n"
        "                     terminal Vantrel asks whether to trust it. Exit codes:\n"
        "                     0 delivered, 1 failed, 3 refused, 4 unreachable, 5 receiver not\n"
        "                     trusted, 6 other version, 130 interrupted\n"
        "  --comment TEXT     with --send: TEXT travels with the request\n"
        "  --no-compress      with --send: a file travels as it is (it is compressed otherwise)\n"
        "  --limit KBPS       with --send or --rule-add: at most KBPS Kb/sec\n"
        "  --trust-fingerprint FP\n"
        "                     with --send: trust the receiver's authority when its fingerprint\n"
        "                     is FP\n"
        "  --rules            list the auto-receive rules, one a line: number, enabled or\n"
        "                     disabled, host, folder and band limit, separated by tabs\n"
        "  --rule-add HOST DIR\n"
        "                     accept every request from HOST (a host name or a dotted\n"
        "                     address, as the peer is named) into the existing folder DIR,\n"
        "                     with --limit at most KBPS Kb/sec (0, the default: no limit)\n"
        "  --rule-remove N    remove rule N, as --rules numbers it\n"
        "  --help, -h         show this text\n"
        "  --version          show the program's name and version\n"
        "\n"
        "A running copy of the profile takes --rule-add and --rule-remove at once; otherwise\n"
        "they change the rules file (autorec.vnt).\n"
        "\n"
        "Profile: VANTREL_HOME=DIR keeps everything in DIR; otherwise settings live in\n"
        "$XDG_CONFIG_HOME/Vantrel and the program folder is $XDG_DATA_HOME/Vantrel.\n"
        "Without a display, Vantrel runs headless; stop it with Ctrl+C or SIGTERM.");
}

QString ShortUsage()
{
    return QStringLiteral(
        "Usage: vantrel [PATH | --install | --print-ca | --export-ca FILE |\n"
        "                --trust FILE | --send HOST[:PORT] PATH [--comment TEXT]\n"
        "                [--no-compress] [--limit KBPS] [--trust-fingerprint FP] | --rules |\n"
        "                --rule-add HOST DIR\n"
        "                [--limit KBPS] | --rule-remove N | --help | --version]\n"
        "Run \"vantrel --help\" for what each option does.");
}

QString VersionText()
{
    return QString::asprintf("Vantrel %.2f", ProgramVersion);
}

int Run(const Parsed& parsed, const Profile& profile, QTextStream& out, QTextStream& errors)
{
    switch (parsed.command) {
    case Command::None:
    case Command::Rules:
    case Command::Send:
        return 0;
    case Command::Help:
        out << HelpText() << Qt::endl;
        return 0;
    case Command::Version:
        out << VersionText() << Qt::endl;
        return 0;
    case Command::Invalid:
        errors << "Vantrel: " << parsed.error << '\n' << ShortUsage() << Qt::endl;
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
