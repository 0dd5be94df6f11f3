#pragma once

#include <QString>

namespace vantrel {

// Where the autostart entry goes, and the command it starts.
struct AutostartEntry
{
    QString desktopFile; // $XDG_CONFIG_HOME/autostart/vantrel.desktop
    QString command;     // this executable, with the profile it ran with
};

// The entry for this executable: the desktop file below $XDG_CONFIG_HOME (default ~/.config),
// and an Exec command line that starts `executable` with VANTREL_HOME set to `profileHome`
// when one is given (a portable profile), quoted as desktop entries require.
AutostartEntry DefaultAutostartEntry(const QString& executable, const QString& profileHome = {});

} // namespace vantrel
