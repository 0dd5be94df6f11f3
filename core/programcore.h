#pragma once

#include "core/profile.h"
#include "core/programfolder.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "stats/ratecounters.h"

#include <QString>

#include <memory>

namespace vantrel {

class HandOffReceiver;
class ZipBridge;

// The engine state of one running copy of the program, without any window: what the main
// window owns and initialises. Tests make two of them in one process, each on its own profile.
class ProgramCore
{
public:
    enum class InitResult
    {
        Ok,
        SslInitFailed,
        ZipInitFailed
    };

    struct Options
    {
        // Only the real program does this: tests keep several copies in one process.
        bool makeProgramFolderCurrent = false;
        // Where libzipbridge.so is looked for first; empty = this executable's folder.
        QString executableFolder;
        // The executable the autostart entry starts; empty = this executable.
        QString executable;
    };

    explicit ProgramCore(Profile profile);
    ~ProgramCore();
    ProgramCore(const ProgramCore&) = delete;
    ProgramCore& operator=(const ProgramCore&) = delete;

    // Settings, TLS library, compression component and counters, in that order. Stops at the
    // first failure; what was set up before it stays.
    InitResult Initialise(const Options& options);
    InitResult Initialise() { return Initialise(Options()); }

    const Profile& profile() const { return m_profile; }
    const ProgramFolder& folder() const { return m_folder; }
    SettingsStore& store() { return m_store; }
    Settings& settings() { return m_settings; }
    const AutostartEntry& autostart() const { return m_autostart; }
    RateCounters& counters() { return m_counters; }
    ZipBridge* zip() const { return m_zip.get(); }
    // Exists once Initialise has loaded the settings.
    HandOffReceiver* handOff() const { return m_handOff.get(); }

private:
    Profile m_profile;
    SettingsStore m_store;
    Settings m_settings;
    AutostartEntry m_autostart;
    ProgramFolder m_folder;
    RateCounters m_counters;
    std::unique_ptr<ZipBridge> m_zip;
    std::unique_ptr<HandOffReceiver> m_handOff;

    // Still to come, owned here for the whole run and set up by Initialise (listener) or at
    // the first showing (the rest):
    //   the listener thread, the incoming policy, the resume cache, the auto-receive rules,
    //   the dynamic DNS book and the hub that their events reach.
};

} // namespace vantrel
