#include "core/programcore.h"

#include "core/handoffreceiver.h"
#include "core/ticks.h"
#include "net/securechannel.h"
#include "send/zipbridgeloader.h"

#include <QCoreApplication>
#include <QDir>

namespace vantrel {

ProgramCore::ProgramCore(Profile profile)
    : m_profile(std::move(profile)), m_store(m_profile.iniFile())
{
}

ProgramCore::~ProgramCore() = default;

ProgramCore::InitResult ProgramCore::Initialise(const Options& options)
{
    const QString executable =
        options.executable.isEmpty() ? QCoreApplication::applicationFilePath() : options.executable;
    m_autostart = DefaultAutostartEntry(executable, m_profile.home());
    m_settings = LoadSettings(m_store, m_autostart);
    m_folder = m_profile.ProgramFolderFrom(m_store);
    // Every program file is resolved through m_folder; the current directory only serves
    // whatever a user types as a relative path.
    if (options.makeProgramFolderCurrent)
        QDir::setCurrent(m_folder.path());
    m_handOff = std::make_unique<HandOffReceiver>(m_folder);

    if (!SecureChannel::Bind())
        return InitResult::SslInitFailed;

    const QString zipFolder = options.executableFolder.isEmpty()
                                  ? QCoreApplication::applicationDirPath()
                                  : options.executableFolder;
    m_zip = ZipBridge::Load(zipFolder);
    if (!m_zip)
        return InitResult::ZipInitFailed;

    m_counters.TakeAndReset();
    m_counters.lastTick = TickCount();

    // The listener thread starts here (next step of the construction order).
    return InitResult::Ok;
}

} // namespace vantrel
