#include "core/programcore.h"

#include "core/base/silentsoundplayer.h"
#include "core/base/ticks.h"
#include "core/handoffreceiver.h"
#include "core/installedlayout.h"
#include "core/transferhub.h"
#include "net/securechannel.h"
#include "receive/listener.h"
#include "receive/partialrecords.h"
#include "receive/resumecache.h"
#include "receive/stagingsweep.h"
#include "send/zipbridgeloader.h"

#include <QCoreApplication>
#include <QDir>

namespace vantrel {

ProgramCore::ProgramCore(Profile profile)
    : m_profile(std::move(profile)), m_store(m_profile.iniFile())
{
}

ProgramCore::~ProgramCore()
{
    if (m_hub)
        m_hub->tunnels().CloseAll();
    // The listener's and the update checks' threads post to the hub: they end first.
    m_updates.reset();
    m_listener.reset();
    m_hub.reset();
    // A running refresh pass is stopped and joined.
    m_refresher.reset();
}

ProgramCore::InitResult ProgramCore::Initialise(const Options& options)
{
    const QString executable =
        options.executable.isEmpty() ? QCoreApplication::applicationFilePath() : options.executable;
    m_refresher = std::make_unique<DynDnsRefresher>(
        m_book, options.resolveHost ? options.resolveHost : HostResolver(ResolveIpv4));
    m_autostart = DefaultAutostartEntry(executable, m_profile.home());
    m_settings = LoadSettings(m_store, m_autostart);
    PublishNickName();
    m_folder = m_profile.ProgramFolderFrom(m_store);
    // Every program file is resolved through m_folder; the current directory only serves
    // whatever a user types as a relative path.
    if (options.makeProgramFolderCurrent)
        QDir::setCurrent(m_folder.path());
    m_handOff = std::make_unique<HandOffReceiver>(m_folder, m_profile.handOffTurnFile());

    if (!SecureChannel::Bind())
        return InitResult::SslInitFailed;

    const QString zipFolder = options.executableFolder.isEmpty()
                                  ? QCoreApplication::applicationDirPath()
                                  : options.executableFolder;
    m_zip = ZipBridgeLoader::Load(InstalledLayout::ComponentFolders(zipFolder));
    if (!m_zip)
        return InitResult::ZipInitFailed;

    m_counters.TakeAndReset();
    m_counters.lastTick = TickCount();

    StartHubAndListener(options);
    return InitResult::Ok;
}

void ProgramCore::StartHubAndListener(const Options& options)
{
    if (options.makeSoundPlayer)
        m_sounds = options.makeSoundPlayer(m_folder);
    if (!m_sounds)
        m_sounds = std::make_unique<SilentSoundPlayer>();
    m_resumes = std::make_unique<ResumeCache>(m_folder);

    TransferServices services;
    services.folder = m_folder;
    services.counters = &m_counters;
    services.sounds = m_sounds.get();
    services.zip = m_zip.get();
    services.unpacker = m_zip.get();
    services.resumes = m_resumes.get();
    services.recentHosts = &m_recentHosts;
    services.book = &m_book;
    services.ownNickName = [this] { return m_settings.EffectiveNickName().toUtf8(); };
    services.ownServerPort = [this] {
        return m_listener ? m_listener->PortInUse() : m_settings.ServerPort();
    };
    TransferHub::Stores stores;
    stores.saveSettings = [this] { SaveSettings(m_store, m_settings, m_autostart); };
    stores.policy = &m_policy;
    stores.store = &m_store;
    stores.rules = &m_rules;
    stores.updateNoticeWanted = [this] { return m_settings.autoUpdateCheck; };
    stores.saveBook = [this] { m_book.Save(m_store, m_refresher->periodText()); };
    m_hub = std::make_unique<TransferHub>(services, stores);
    QObject::connect(m_handOff.get(), &HandOffReceiver::openSendRequested, m_hub.get(),
                     &TransferHub::OpenSend);

    const QString& key = SettingsStore::MainKey;
    m_updates = std::make_unique<UpdateChecks>(
        UpdateServer::FromSettings(m_store.ReadString(key, QStringLiteral("UpdateHost")),
                                   m_store.ReadString(key, QStringLiteral("UpdatePort")),
                                   m_store.ReadString(key, QStringLiteral("UpdateProbeAddress"))),
        m_hub.get(), options.updateSetup);
    QObject::connect(m_hub.get(), &TransferHub::updateAnswered, m_updates.get(),
                     &UpdateChecks::Answered);

    if (!options.listen)
        return;
    // Connection threads read the published copy, never the settings the UI thread edits.
    m_listener = std::make_unique<Listener>(
        m_folder, m_policy, m_book, [this] { return NickNameInForce(); }, m_hub.get());
    m_listener->Start(options.listenPort.value_or(m_settings.ServerPort()));
}

void ProgramCore::PublishNickName()
{
    const QByteArray nick = m_settings.EffectiveNickName().toUtf8();
    const std::lock_guard lock(m_nickNameMutex);
    m_nickNameInForce = nick;
}

QByteArray ProgramCore::NickNameInForce() const
{
    const std::lock_guard lock(m_nickNameMutex);
    return m_nickNameInForce;
}

void ProgramCore::LoadStoredLists()
{
    m_policy.Load(m_store);
    if (m_resumes) {
        m_resumes->Load();
        // Archives of transfers that a crash cut off join the list as interrupted ones would.
        PartialRecords(m_folder).Recover(*m_resumes);
    }
    m_rules.Load(m_folder.file(QStringLiteral("autorec.vnt")));
    StagingSweep::Sweep(StagingFolders());
    const QString refreshText = m_book.Load(m_store);
    if (m_refresher) {
        m_refresher->SetPeriodText(refreshText);
        m_refresher->RefreshAll();
    }
}

QStringList ProgramCore::StagingFolders() const
{
    // A relative target, the name the save dialogs propose or a rule folder typed relative,
    // resolves against the working directory, which the real program makes the program
    // folder.
    QStringList folders{m_folder.path(), QDir::currentPath()};
    for (const AutoReceiveRule& rule : m_rules.rules())
        if (!rule.saveFolder.isEmpty())
            folders.append(QDir::current().absoluteFilePath(rule.saveFolder));
    return folders;
}

} // namespace vantrel
