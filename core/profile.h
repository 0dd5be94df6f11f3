#pragma once

#include "core/base/programfolder.h"

#include <QString>

namespace vantrel {

class SettingsStore;

// Where one user's copy of the program keeps its state. VANTREL_HOME=DIR puts everything in
// DIR (a portable profile; tests run several copies this way); otherwise the XDG config and
// data folders are used.
class Profile
{
public:
    // The profile this process runs with, from VANTREL_HOME or the XDG variables.
    static Profile FromEnvironment();
    // A portable profile: config and data both in `home`.
    static Profile Portable(const QString& home);

    Profile(QString configFolder, QString dataFolder, QString home = {});

    const QString& configFolder() const { return m_configFolder; }
    const QString& dataFolder() const { return m_dataFolder; }
    // VANTREL_HOME of a portable profile, empty otherwise.
    const QString& home() const { return m_home; }
    QString iniFile() const;
    QString lockFile() const;
    // Held by one hand-off at a time, from writing the hand-off file until the running copy
    // has read it, so that no other start's path replaces it meanwhile.
    QString handOffTurnFile() const;

    // The local server's name: stable for a profile however its path is spelled (it hashes
    // the canonical config folder once that exists), different for different profiles.
    QString InstanceName() const;

    // The installed program folder (SProgramPath) when the store has one, else the data folder
    // (where the installation would put it).
    ProgramFolder ProgramFolderFrom(const SettingsStore& store) const;

private:
    QString m_configFolder;
    QString m_dataFolder;
    QString m_home;
};

} // namespace vantrel
