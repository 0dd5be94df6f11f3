#include "core/autostartentry.h"

#include <QDir>

namespace vantrel {

namespace {

// Quotes one argument of an Exec line when it holds a reserved character.
QString QuoteExecArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped = argument;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    bool needsQuotes = argument.isEmpty();
    for (QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (!needsQuotes)
        return escaped;
    QString quoted = QStringLiteral("\"");
    for (QChar c : escaped) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

} // namespace

AutostartEntry DefaultAutostartEntry(const QString& executable, const QString& profileHome)
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG path is invalid and must be ignored.
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");

    AutostartEntry entry;
    entry.desktopFile = QDir::cleanPath(configHome + QStringLiteral("/autostart/vantrel.desktop"));
    entry.command = QuoteExecArgument(executable);
    if (!profileHome.isEmpty()) {
        entry.command = QStringLiteral("env ") +
                        QuoteExecArgument(QStringLiteral("VANTREL_HOME=") + profileHome) +
                        QLatin1Char(' ') + entry.command;
    }
    return entry;
}

} // namespace vantrel
