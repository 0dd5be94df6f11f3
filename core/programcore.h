#pragma once

#include "core/base/programfolder.h"
#include "core/base/settingsstore.h"
#include "core/profile.h"
#include "core/settings.h"
#include "netutil/dyndnsbook.h"
#include "netutil/dyndnsrefresher.h"
#include "netutil/hostresolver.h"
#include "netutil/updatechecks.h"
#include "receive/autoreceiverules.h"
#include "send/recenthosts.h"
#include "stats/ratecounters.h"
#include "tunnel/incomingpolicy.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace vantrel {

class HandOffReceiver;
class Listener;
class ResumeCache;
class SoundPlayer;
class TransferHub;
class ZipBridgeLoader;

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
        // The executable's folder, where libzipbridge.so is looked for first, then in the
        // installed component folder relative to it; empty = this executable's folder.
        QString executableFolder;
        // The executable the autostart entry starts; empty = this executable.
        QString executable;
        // The windows' sound player for the program folder; none = silent.
        std::function<std::unique_ptr<SoundPlayer>(const ProgramFolder&)> makeSoundPlayer;
        // Listen here instead of on the ServerPort setting (tests: 0 = any free port).
        std::optional<int> listenPort;
        // False: no listener at all (a send from the command line beside a running copy).
        bool listen = true;
        // The update checks' waits (tests: short).
        UpdateChecks::Setup updateSetup;
        // How the dynamic DNS book's refresh passes look names up; none = the system's.
        HostResolver resolveHost;
    };

    explicit ProgramCore(Profile profile);
    // Closes the tunnels, ends the listener, then frees the hub with its transfers. The owner
    // unbinds the TLS library afterwards.
    ~ProgramCore();
    ProgramCore(const ProgramCore&) = delete;
    ProgramCore& operator=(const ProgramCore&) = delete;

    // Settings, TLS library, compression component, counters, hub and listener, in that
    // order. Stops at the first failure; what was set up before it stays. A listener that
    // cannot start is no failure: the copy still sends.
    InitResult Initialise(const Options& options);
    InitResult Initialise() { return Initialise(Options()); }

    const Profile& profile() const { return m_profile; }
    const ProgramFolder& folder() const { return m_folder; }
    SettingsStore& store() { return m_store; }
    Settings& settings() { return m_settings; }
    const AutostartEntry& autostart() const { return m_autostart; }
    // The NickName setting is edited in place on the UI thread; connection threads (the
    // version-mismatch reply) read the copy published here. Call after each edit.
    void PublishNickName();
    QByteArray NickNameInForce() const;
    RateCounters& counters() { return m_counters; }
    ZipBridgeLoader* zip() const { return m_zip.get(); }
    // Exists once Initialise has loaded the settings.
    HandOffReceiver* handOff() const { return m_handOff.get(); }

    // Loaded at the main window's first showing, in this order: the incoming policy, the
    // resume list (with the partial archives of transfers a crash cut off), the auto-receive
    // rules and the dynamic DNS book, whose first refresh pass starts at once. Once the rules
    // are known, the staging files and folders that receives of copies no longer running left
    // in the folders where targets go (StagingFolders) are removed.
    void LoadStoredLists();
    // The folders a received target can be put in that this copy knows of: the program
    // folder, the working directory (where a relative target goes) and every auto-receive
    // rule's folder. The resume list holds no targets; a folder chosen in a save dialog is
    // not recorded anywhere.
    QStringList StagingFolders() const;

    IncomingPolicy& policy() { return m_policy; }
    AutoReceiveRules& rules() { return m_rules; }
    DynDnsBook& book() { return m_book; }
    // Exists once Initialise has begun.
    DynDnsRefresher* refresher() const { return m_refresher.get(); }
    RecentHosts& recentHosts() { return m_recentHosts; }
    // These exist once Initialise has succeeded.
    ResumeCache* resumes() const { return m_resumes.get(); }
    TransferHub* hub() const { return m_hub.get(); }
    // The update checks; they start at the main window's first showing.
    UpdateChecks* updates() const { return m_updates.get(); }
    Listener* listener() const { return m_listener.get(); }

private:
    void StartHubAndListener(const Options& options);

    Profile m_profile;
    SettingsStore m_store;
    Settings m_settings;
    AutostartEntry m_autostart;
    ProgramFolder m_folder;
    RateCounters m_counters;
    std::unique_ptr<ZipBridgeLoader> m_zip;
    std::unique_ptr<HandOffReceiver> m_handOff;

    // Owned for the whole run; everything below is lent to the hub and its transfers.
    IncomingPolicy m_policy;
    AutoReceiveRules m_rules;
    DynDnsBook m_book;
    std::unique_ptr<DynDnsRefresher> m_refresher;
    RecentHosts m_recentHosts{m_store};
    std::unique_ptr<ResumeCache> m_resumes;
    std::unique_ptr<SoundPlayer> m_sounds;
    std::unique_ptr<TransferHub> m_hub;
    std::unique_ptr<Listener> m_listener;
    std::unique_ptr<UpdateChecks> m_updates;
    mutable std::mutex m_nickNameMutex;
    QByteArray m_nickNameInForce; // guarded by m_nickNameMutex
};

} // namespace vantrel
