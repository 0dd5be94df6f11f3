#include "core/programcore.h"

#include "core/handoffreceiver.h"
#include "core/installation.h"
#include "core/transferhub.h"
#include "net/securechannel.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "receive/autoreceiverules.h"
#include "receive/listener.h"
#include "receive/stagingname.h"
#include "send/sendtransfer.h"
#include "send/zipbridgeloader.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantrel {
namespace {

ProgramCore::Options BuildFolderOptions()
{
    ProgramCore::Options options;
    options.executableFolder = test::BuildFolder();
    options.executable = QStringLiteral("/opt/vantrel/vantrel");
    return options;
}

constexpr std::uint32_t Localhost = 0x7F000001;

std::unique_ptr<TlsSession> Connect(const QString& folder, int port)
{
    auto context = SecureChannel::CreateClientContext();
    auto result =
        SecureChannel::ConnectSession(*context, folder + QStringLiteral("/clientcalist.pem"),
                                      Localhost, static_cast<std::uint16_t>(port), {});
    if (result.session) {
        timeval limit{10, 0};
        ::setsockopt(result.session->SocketDescriptor(), SOL_SOCKET, SO_RCVTIMEO, &limit,
                     sizeof limit);
    }
    return std::move(result.session);
}

TEST(ProgramCoreTest, TwoCopiesInOneProcessKeepTheirOwnState)
{
    test::TempFolder first, second;
    ProgramCore a(Profile::Portable(first.path()));
    ProgramCore b(Profile::Portable(second.path()));
    a.store().Write(SettingsStore::MainKey, QStringLiteral("ServerPort"), QStringLiteral("4242"));
    b.store().Write(SettingsStore::MainKey, QStringLiteral("NickName"), QStringLiteral("Bee"));
    const QString currentBefore = QDir::currentPath();

    ASSERT_EQ(a.Initialise(BuildFolderOptions()), ProgramCore::InitResult::Ok);
    ASSERT_EQ(b.Initialise(BuildFolderOptions()), ProgramCore::InitResult::Ok);

    EXPECT_EQ(QDir::currentPath(), currentBefore); // only the real program moves there
    EXPECT_EQ(a.folder().path(), first.path());
    EXPECT_EQ(b.folder().path(), second.path());
    EXPECT_EQ(a.settings().ServerPort(), 4242);
    EXPECT_EQ(b.settings().ServerPort(), DefaultServerPort);
    EXPECT_EQ(b.settings().EffectiveNickName(), QStringLiteral("Bee"));
    ASSERT_NE(a.handOff(), nullptr);
    EXPECT_EQ(a.handOff()->folder().path(), first.path());
    EXPECT_NE(a.zip(), nullptr);
    EXPECT_TRUE(a.autostart().command.contains(first.path())); // starts this profile again
}

TEST(ProgramCoreTest, MakesTheProgramFolderCurrentOnlyWhenAsked)
{
    test::TempFolder temp;
    const QString before = QDir::currentPath();
    ProgramCore core(Profile::Portable(temp.path()));
    ProgramCore::Options options = BuildFolderOptions();
    options.makeProgramFolderCurrent = true;
    EXPECT_EQ(core.Initialise(options), ProgramCore::InitResult::Ok);
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(),
              QFileInfo(temp.path()).canonicalFilePath());
    QDir::setCurrent(before);
}

TEST(ProgramCoreTest, CopyListensHandsOffToTheHubAndEndsCleanly)
{
    test::TempFolder home;
    ASSERT_TRUE(test::testcertificates::WriteProfileCertificates(home.path()));
    auto core = std::make_unique<ProgramCore>(Profile::Portable(home.path()));
    // A stored policy that denies everything takes effect once the lists are loaded.
    core->store().Write(SettingsStore::PolicyKey, QStringLiteral("TunPolicy"), QStringLiteral("2"));
    ProgramCore::Options options;
    options.executableFolder = test::BuildFolder();
    options.executable = QStringLiteral("/opt/vantrel/vantrel");
    options.listenPort = 0;
    ASSERT_EQ(core->Initialise(options), ProgramCore::InitResult::Ok);
    ASSERT_TRUE(core->listener() && core->listener()->IsListening());
    TransferHub& hub = *core->hub();
    const int port = core->listener()->PortInUse();
    EXPECT_EQ(hub.services().ownServerPort(), port);
    const QString folder = core->folder().path();

    core->LoadStoredLists();
    auto dropped = Connect(folder, port);
    ASSERT_TRUE(dropped);
    ASSERT_TRUE(WriteRequest(*dropped, RequestHeader()));
    ASSERT_TRUE(test::WaitUntil([&] { return hub.downloads().rowCount() == 1; }));
    EXPECT_EQ(hub.downloads().Cell(hub.downloads().IdAt(0), TransferListModel::Status),
              QStringLiteral("Dropped"));

    // A handed-off path becomes a send with its UPLOADS row.
    home.write(QStringLiteral("letter.txt"), "hello");
    ASSERT_TRUE(core->handOff()->HandOff(home.file(QStringLiteral("letter.txt"))));
    ASSERT_TRUE(test::WaitUntil([&] { return hub.activeCount() == 1; }));
    auto* send = qobject_cast<SendTransfer*>(hub.uploads().TransferAt(0));
    ASSERT_TRUE(send);
    EXPECT_EQ(send->sourcePath(), home.file(QStringLiteral("letter.txt")));
    EXPECT_FALSE(hub.RequestClose());

    // Ending with a live send, a silent connection and an open tunnel neither hangs nor
    // leaves the tunnel's peer waiting.
    core->policy().SetMode(PolicyMode::AcceptAll);
    auto tunnel = Connect(folder, port);
    ASSERT_TRUE(tunnel);
    RequestHeader registration;
    registration.kind = static_cast<std::int32_t>(MessageKind::TunnelRegistration);
    ASSERT_TRUE(WriteRequest(*tunnel, registration));
    ASSERT_TRUE(test::WaitUntil([&] { return hub.tunnels().rows().size() == 1; }));
    auto silent = Connect(folder, port);
    ASSERT_TRUE(silent);
    core.reset();
    char byte = 0;
    EXPECT_LE(tunnel->Read(&byte, 1), 0);
    EXPECT_LE(silent->Read(&byte, 1), 0);
}

// A peer of another version learns the nickname in force, not the one loaded at start.
TEST(ProgramCoreTest, VersionMismatchReplyNamesTheNickNameInForce)
{
    test::TempFolder home;
    ASSERT_TRUE(test::testcertificates::WriteProfileCertificates(home.path()));
    auto core = std::make_unique<ProgramCore>(Profile::Portable(home.path()));
    core->store().Write(SettingsStore::MainKey, QStringLiteral("NickName"),
                        QStringLiteral("Loaded"));
    ProgramCore::Options options = BuildFolderOptions();
    options.listenPort = 0;
    ASSERT_EQ(core->Initialise(options), ProgramCore::InitResult::Ok);
    const int port = core->listener()->PortInUse();
    auto replyNick = [&]() -> QByteArray {
        auto session = Connect(core->folder().path(), port);
        if (!session)
            return "no connection";
        RequestHeader request;
        request.versionB = 3;
        if (!WriteRequest(*session, request))
            return "not written";
        const std::optional<ReplyHeader> reply = ReadReply(*session);
        if (!reply || !reply->IsVersionMismatch())
            return "no version-mismatch reply";
        return reply->nickName;
    };
    EXPECT_EQ(replyNick(), QByteArray("Loaded"));
    core->settings().nickName = QStringLiteral("Renamed");
    core->PublishNickName();
    EXPECT_EQ(replyNick(), QByteArray("Renamed"));
    core->settings().nickName.clear();
    core->PublishNickName();
    EXPECT_EQ(replyNick(), QByteArray("Anonymous"));
}

// The start removes the staging that receives of a copy that died left where targets go (the
// program folder and every rule's folder), and leaves the staging of a copy that runs.
TEST(ProgramCoreTest, LoadingTheListsRemovesStagingThatDeadCopiesLeft)
{
    test::TempFolder home, rulesFolder, disabledRuleFolder;
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(dead, &status, 0);
    ProgramCore core(Profile::Portable(home.path()));
    ProgramCore::Options options = BuildFolderOptions();
    options.listen = false;
    ASSERT_EQ(core.Initialise(options), ProgramCore::InitResult::Ok);
    AutoReceiveRules rules;
    ASSERT_EQ(rules.Add({QStringLiteral("peer"), rulesFolder.path(), QStringLiteral("0")}),
              AutoReceiveRules::Check::Ok);
    ASSERT_EQ(rules.Add({QStringLiteral("other"), disabledRuleFolder.path(), QStringLiteral("0")}),
              AutoReceiveRules::Check::Ok);
    rules.SetEnabled(1, false);
    ASSERT_TRUE(rules.Save(core.folder().file(QStringLiteral("autorec.vnt"))));

    const auto staging = [](StagingName::Kind kind, const char* name, pid_t pid) {
        return QFile::decodeName(StagingName::Make(kind, name, pid, 1).c_str());
    };
    const QString inProgramFolder = staging(StagingName::Kind::File, "a.bin", dead);
    const QString inRuleFolder = staging(StagingName::Kind::Folder, "tree", dead);
    const QString inDisabledRuleFolder = staging(StagingName::Kind::File, "b.bin", dead);
    const QString ours = staging(StagingName::Kind::File, "c.bin", ::getpid());
    QFile leftover(core.folder().file(inProgramFolder));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    rulesFolder.write(inRuleFolder + QStringLiteral("/sub/file"), "x");
    disabledRuleFolder.write(inDisabledRuleFolder, "x");
    rulesFolder.write(ours, "x");

    core.LoadStoredLists();
    EXPECT_TRUE(core.StagingFolders().contains(rulesFolder.path()));
    EXPECT_FALSE(QFileInfo::exists(core.folder().file(inProgramFolder)));
    EXPECT_FALSE(QFileInfo::exists(rulesFolder.file(inRuleFolder)));
    EXPECT_FALSE(QFileInfo::exists(disabledRuleFolder.file(inDisabledRuleFolder)));
    EXPECT_TRUE(QFileInfo::exists(rulesFolder.file(ours)));
}

// The book comes from the store with the other lists, resolves at once (here from a table),
// names a connecting peer after its entry, and goes back to the store at closing.
TEST(ProgramCoreTest, DynamicDnsBookIsLoadedResolvedAndSaved)
{
    test::TempFolder home;
    ASSERT_TRUE(test::testcertificates::WriteProfileCertificates(home.path()));
    ProgramCore core(Profile::Portable(home.path()));
    const QString& key = SettingsStore::DynDnsKey;
    // AHost03 is missing: loading stops before AHost04.
    core.store().WriteValues(key, {{QStringLiteral("RefreshTime"), QStringLiteral("45")},
                                   {QStringLiteral("AHost01"), QStringLiteral("home.dyn.test")},
                                   {QStringLiteral("AHost02"), QStringLiteral("gone.dyn.test")},
                                   {QStringLiteral("AHost04"), QStringLiteral("unread.dyn.test")}});
    core.store().Write(SettingsStore::PolicyKey, QStringLiteral("TunPolicy"), QStringLiteral("2"));
    ProgramCore::Options options = BuildFolderOptions();
    options.listenPort = 0;
    options.resolveHost = [](const QString& host) -> std::optional<QString> {
        if (host == QLatin1String("home.dyn.test"))
            return QStringLiteral("127.0.0.1");
        return std::nullopt;
    };
    ASSERT_EQ(core.Initialise(options), ProgramCore::InitResult::Ok);
    ASSERT_NE(core.refresher(), nullptr);
    EXPECT_EQ(core.refresher()->periodMs(), 0);
    EXPECT_EQ(core.book().size(), 0);

    core.LoadStoredLists();
    EXPECT_EQ(core.refresher()->periodText(), QStringLiteral("45"));
    EXPECT_EQ(core.refresher()->periodMs(), 45 * 60000);
    ASSERT_TRUE(test::WaitUntil([&] { return !core.refresher()->view().running; }));
    const std::vector<DynDnsBook::Entry> entries = core.book().entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(entries[1].address, QStringLiteral("-"));

    // The dropped row carries the name the book gave the peer.
    TransferHub& hub = *core.hub();
    auto peer = Connect(core.folder().path(), core.listener()->PortInUse());
    ASSERT_TRUE(peer);
    ASSERT_TRUE(WriteRequest(*peer, RequestHeader()));
    ASSERT_TRUE(test::WaitUntil([&] { return hub.downloads().rowCount() == 1; }));
    EXPECT_EQ(hub.downloads().Cell(hub.downloads().IdAt(0), TransferListModel::Host),
              QStringLiteral("home.dyn.test"));

    core.book().RemoveEntry(0);
    core.refresher()->SetPeriodText(QStringLiteral("0"));
    hub.Closing();
    EXPECT_EQ(core.store().ReadString(key, QStringLiteral("RefreshTime")), QStringLiteral("30"));
    EXPECT_EQ(core.store().ReadString(key, QStringLiteral("AHost01")),
              QStringLiteral("gone.dyn.test"));
    EXPECT_FALSE(core.store().Contains(key, QStringLiteral("AHost02")));
    EXPECT_TRUE(core.store().Contains(key, QStringLiteral("AHost04")));
}

} // namespace
} // namespace vantrel
