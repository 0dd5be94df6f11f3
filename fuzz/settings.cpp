// The INI file and the autostart entry as the program reads them at start: general settings,
// incoming policies, the dynamic DNS book, recent hosts and the update server. The input is
// the INI text, then, after its first NUL, the autostart entry.
#include "scratchfolder.h"

#include "core/autostartentry.h"
#include "core/base/settingsstore.h"
#include "core/settings.h"
#include "netutil/dyndnsbook.h"
#include "netutil/parsehosttext.h"
#include "netutil/updateserver.h"
#include "send/recenthosts.h"
#include "tunnel/incomingpolicy.h"

#include <QFile>

#include <cstddef>
#include <cstdint>

using namespace vantrel;

namespace {

void Put(const QString& file, const QByteArray& bytes)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        fuzz::Fail("cannot write an input file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzz::ScratchFolder scratch;
    scratch.Empty();
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype nul = input.indexOf('\0');
    AutostartEntry autostart{scratch.file(QStringLiteral("vantrel.desktop")), QString()};
    Put(scratch.file(QStringLiteral("vantrel.ini")), nul >= 0 ? input.left(nul) : input);
    if (nul >= 0)
        Put(autostart.desktopFile, input.mid(nul + 1));

    SettingsStore store(scratch.file(QStringLiteral("vantrel.ini")));
    const Settings settings = LoadSettings(store, autostart);
    const int port = settings.ServerPort();
    if (port < 1 || port > 65535 || settings.EffectiveNickName().isEmpty())
        fuzz::Fail("general settings out of range");

    IncomingPolicy policy;
    policy.Load(store);
    (void)policy.Allows(QStringLiteral("peer.example"), 0x7F000001u);
    for (const QString& host : policy.hosts())
        if (!policy.Allows(host, 0) && policy.mode() == PolicyMode::AcceptOnly)
            fuzz::Fail("a listed host is refused under accept-only");

    DynDnsBook book;
    const QString refreshText = book.Load(store);
    (void)book.NameForAddress(0x7F000001u);

    RecentHosts recent(store);
    for (const QString& entry : recent.LoadRecentHosts())
        (void)ParseHostText(entry);

    const UpdateServer server = UpdateServer::FromSettings(
        store.ReadString(SettingsStore::MainKey, QStringLiteral("UpdateHost")),
        store.ReadString(SettingsStore::MainKey, QStringLiteral("UpdatePort")),
        store.ReadString(SettingsStore::MainKey, QStringLiteral("UpdateProbeAddress")));
    if (server.port < 1 || server.port > 65535)
        fuzz::Fail("update server port out of range");
    (void)server.RequestText();

    // Saving what was read and reading it again keeps it.
    SaveSettings(store, settings, AutostartEntry{});
    policy.Save(store);
    book.Save(store, refreshText);
    IncomingPolicy policyAgain;
    policyAgain.Load(store);
    if (policyAgain.mode() != policy.mode() || policyAgain.hosts() != policy.hosts())
        fuzz::Fail("saved incoming policies read back differently");
    const Settings settingsAgain = LoadSettings(store, autostart);
    if (settingsAgain.ServerPort() != port)
        fuzz::Fail("the saved port reads back differently");
    return 0;
}
