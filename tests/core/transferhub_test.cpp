#include "core/transferhub.h"

#include "core/base/settingsstore.h"
#include "core/base/silentsoundplayer.h"
#include "net/securechannel.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "netutil/dyndnsbook.h"
#include "receive/autoreceiverules.h"
#include "receive/listener.h"
#include "receive/receivetransfer.h"
#include "receive/resumecache.h"
#include "send/recenthosts.h"
#include "send/sendtransfer.h"
#include "send/zipbridgeloader.h"
#include "stats/ratecounters.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"
#include "tunnel/incomingpolicy.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QPointer>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/time.h>

#include <memory>
#include <vector>

namespace vantrel {
namespace {

constexpr std::uint32_t Localhost = 0x7F000001;
using Model = TransferListModel;

RequestHeader SampleRequest(std::int32_t kind = 0)
{
    RequestHeader request;
    request.kind = kind;
    request.nickName = QByteArrayLiteral("Ann");
    request.fileName = QByteArrayLiteral("photos");
    request.dirCount = 2;
    request.fileCount = 7;
    request.totalSize = 1536;
    request.senderPort = 9000;
    return request;
}

// What the hub tells the windows, as they would see it.
struct HubSignals
{
    std::vector<ReceiveTransfer*> receives;
    std::vector<SendTransfer*> sends;
    std::vector<QObject*> closing;
    std::vector<int> counts;
    QString hint;
    int restores = 0;
    int showAll = 0;
    int bandLimitDetaches = 0;

    void Watch(TransferHub& hub)
    {
        QObject::connect(&hub, &TransferHub::receiveOpened, &hub,
                         [this](ReceiveTransfer* t) { receives.push_back(t); });
        QObject::connect(&hub, &TransferHub::sendOpened, &hub,
                         [this](SendTransfer* t) { sends.push_back(t); });
        QObject::connect(&hub, &TransferHub::transferClosing, &hub,
                         [this](QObject* t) { closing.push_back(t); });
        QObject::connect(&hub, &TransferHub::activeCountChanged, &hub,
                         [this](int n) { counts.push_back(n); });
        QObject::connect(&hub, &TransferHub::trayHintChanged, &hub,
                         [this](const QString& text) { hint = text; });
        QObject::connect(&hub, &TransferHub::restoreRequested, &hub, [this] { ++restores; });
        QObject::connect(&hub, &TransferHub::showAllTransferWindows, &hub, [this] { ++showAll; });
        QObject::connect(&hub, &TransferHub::bandLimitDialogDetach, &hub,
                         [this] { ++bandLimitDetaches; });
    }
};

class TransferHubTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SecureChannel::Bind());
        ASSERT_TRUE(test::testcertificates::WriteProfileCertificates(m_profile.path()));
        ASSERT_TRUE(QDir().mkpath(m_folder.tempFolder()));
        m_zip = ZipBridgeLoader::Load(test::BuildFolder());
        ASSERT_TRUE(m_zip);

        TransferServices services;
        services.folder = m_folder;
        services.counters = &m_counters;
        services.sounds = &m_sounds;
        services.zip = m_zip.get();
        services.unpacker = m_zip.get();
        services.resumes = &m_resumes;
        services.recentHosts = &m_recentHosts;
        services.book = &m_book;
        services.ownNickName = [] { return QByteArrayLiteral("Hub"); };
        services.ownServerPort = [] { return 12666; };
        TransferHub::Stores stores;
        stores.saveSettings = [this] { ++m_settingsSaves; };
        stores.policy = &m_policy;
        stores.store = &m_store;
        stores.rules = &m_rules;
        m_hub = std::make_unique<TransferHub>(services, stores);
        m_signals.Watch(*m_hub);
        m_listener = std::make_unique<Listener>(
            m_folder, m_policy, m_book, [] { return QByteArrayLiteral("Hub"); }, m_hub.get());
        ASSERT_TRUE(m_listener->Start(0));
    }

    std::unique_ptr<TlsSession> Send(const RequestHeader& request)
    {
        auto context = SecureChannel::CreateClientContext();
        auto result = SecureChannel::ConnectSession(
            *context, m_profile.file(QStringLiteral("clientcalist.pem")), Localhost,
            static_cast<std::uint16_t>(m_listener->PortInUse()), {});
        EXPECT_TRUE(result.session);
        if (!result.session)
            return nullptr;
        timeval limit{10, 0};
        ::setsockopt(result.session->SocketDescriptor(), SOL_SOCKET, SO_RCVTIMEO, &limit,
                     sizeof limit);
        EXPECT_TRUE(WriteRequest(*result.session, request));
        return std::move(result.session);
    }

    test::TempFolder m_profile;
    ProgramFolder m_folder{m_profile.path()};
    SettingsStore m_store{m_profile.file(QStringLiteral("Vantrel.ini"))};
    RecentHosts m_recentHosts{m_store};
    ResumeCache m_resumes{m_folder};
    AutoReceiveRules m_rules;
    IncomingPolicy m_policy;
    DynDnsBook m_book;
    RateCounters m_counters;
    SilentSoundPlayer m_sounds;
    std::unique_ptr<ZipBridgeLoader> m_zip;
    int m_settingsSaves = 0;
    std::unique_ptr<TransferHub> m_hub;
    HubSignals m_signals;
    // Declared after the hub: it stops before the hub that its threads post to goes.
    std::unique_ptr<Listener> m_listener;
};

TEST_F(TransferHubTest, IncomingRequestOpensAReceiveUntilItCloses)
{
    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_signals.receives.size() == 1; }));
    ReceiveTransfer* transfer = m_signals.receives.front();
    const QString peer = transfer->peerName();
    EXPECT_TRUE(peer == QLatin1String("localhost") || peer == QLatin1String("127.0.0.1"));

    Model& downloads = m_hub->downloads();
    ASSERT_EQ(downloads.rowCount(), 1);
    EXPECT_TRUE(downloads.IsActive(0));
    EXPECT_EQ(downloads.TransferAt(0), transfer);
    EXPECT_EQ(m_hub->ReceiveCaption(transfer),
              QStringLiteral("New File Receive Request from ") + peer + QStringLiteral(" (Ann)"));
    EXPECT_EQ(m_recentHosts.LoadRecentHosts().value(0), peer + QStringLiteral(":9000 (Ann)"));
    EXPECT_EQ(m_hub->activeCount(), 1);
    EXPECT_EQ(m_hub->trayHint(), QStringLiteral("Active Transfers: 1"));
    EXPECT_EQ(m_signals.counts, std::vector<int>{1});
    EXPECT_EQ(m_signals.restores, 1);
    EXPECT_TRUE(m_hub->trayAnimating());
    EXPECT_EQ(m_hub->ActiveTransfers(Model::Kind::Downloads), std::vector<QObject*>{transfer});

    // While it is open the program does not close; its window is shown instead.
    EXPECT_FALSE(m_hub->RequestClose());
    EXPECT_EQ(m_signals.showAll, 1);

    // The user refuses: the answer stops the animation, the close retires the transfer.
    QPointer<QObject> watch(transfer);
    transfer->Present();
    transfer->Abort(QByteArrayLiteral("busy"));
    EXPECT_FALSE(m_hub->trayAnimating());
    const auto reply = ReadReply(*client);
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->IsAccepted());
    ASSERT_TRUE(test::WaitUntil([&] { return m_hub->activeCount() == 0; }));
    EXPECT_EQ(m_signals.closing, std::vector<QObject*>{transfer});
    EXPECT_EQ(m_signals.bandLimitDetaches, 1);
    EXPECT_EQ(m_hub->trayHint(), QStringLiteral("Active Transfers: 0"));
    EXPECT_FALSE(downloads.IsActive(0));
    EXPECT_TRUE(downloads.data(downloads.index(0, 0), Model::FinishedRole).toBool());
    EXPECT_EQ(downloads.Cell(downloads.IdAt(0), Model::FileName), QStringLiteral("photos"));
    EXPECT_TRUE(m_hub->RequestClose());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST_F(TransferHubTest, AutoReceiveRuleNamesTheCaption)
{
    AutoReceiveRules::Fields rule{QStringLiteral("127.0.0.1"), m_profile.path(),
                                  QStringLiteral("0")};
    ASSERT_EQ(m_rules.Add(rule), AutoReceiveRules::Check::Ok);
    auto client = Send(SampleRequest());
    ASSERT_TRUE(test::WaitUntil([&] { return m_signals.receives.size() == 1; }));
    ReceiveTransfer* transfer = m_signals.receives.front();
    EXPECT_TRUE(transfer->isAutoReceive());
    EXPECT_EQ(m_hub->ReceiveCaption(transfer), QStringLiteral("New File Auto-Receive from ") +
                                                   transfer->peerName() + QStringLiteral(" (Ann)"));
    transfer->Close();
    ASSERT_TRUE(test::WaitUntil([&] { return m_hub->activeCount() == 0; }));
}

TEST_F(TransferHubTest, DroppedRequestAddsAPlainRowAndLeavesTheCount)
{
    m_policy.SetMode(PolicyMode::DenyAll);
    auto client = Send(SampleRequest());
    Model& downloads = m_hub->downloads();
    ASSERT_TRUE(test::WaitUntil([&] { return downloads.rowCount() == 1; }));

    const Model::RowId id = downloads.IdAt(0);
    const QString host = downloads.Cell(id, Model::Host);
    EXPECT_TRUE(host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1"));
    const std::pair<Model::Column, QString> cells[] = {
        {Model::NickName, QStringLiteral("Ann")}, {Model::FileName, QStringLiteral("photos")},
        {Model::Dirs, QStringLiteral("2")},       {Model::Files, QStringLiteral("7")},
        {Model::Size, QStringLiteral("1.50 Kb")}, {Model::Status, QStringLiteral("Dropped")},
        {Model::Speed, QStringLiteral("-")},      {Model::Progress, QStringLiteral("-")},
    };
    for (const auto& [column, text] : cells)
        EXPECT_EQ(downloads.Cell(id, column), text) << column;
    EXPECT_EQ(downloads.StateIcon(id), Model::IconDropped);
    EXPECT_FALSE(downloads.IsActive(0));
    EXPECT_TRUE(downloads.data(downloads.index(0, 0), Model::FinishedRole).toBool());

    EXPECT_EQ(m_hub->activeCount(), 0);
    EXPECT_TRUE(m_signals.counts.empty());
    EXPECT_EQ(m_hub->trayHint(), TransferHub::InitialTrayHint);
    EXPECT_FALSE(m_hub->trayAnimating());
    EXPECT_TRUE(m_hub->RequestClose());

    m_hub->ClearInactive(Model::Kind::Downloads);
    EXPECT_EQ(downloads.rowCount(), 0);
}

TEST_F(TransferHubTest, HandedOffPathOpensASendUntilItCloses)
{
    m_profile.write(QStringLiteral("outbox/letter.txt"), QByteArrayLiteral("hello"));
    SendTransfer* transfer = m_hub->OpenSend(m_profile.file(QStringLiteral("outbox/letter.txt")));
    ASSERT_TRUE(transfer);
    EXPECT_EQ(m_signals.sends, std::vector<SendTransfer*>{transfer});

    Model& uploads = m_hub->uploads();
    ASSERT_EQ(uploads.rowCount(), 1);
    const Model::RowId id = uploads.IdAt(0);
    EXPECT_EQ(uploads.Cell(id, Model::Host), QStringLiteral("N/A"));
    for (int column = Model::NickName; column < Model::ColumnCount; ++column)
        EXPECT_EQ(uploads.Cell(id, static_cast<Model::Column>(column)), QStringLiteral("-"));
    EXPECT_TRUE(uploads.IsActive(0));
    EXPECT_EQ(m_hub->activeCount(), 1);
    EXPECT_EQ(m_hub->trayHint(), QStringLiteral("Active Transfers: 1"));
    EXPECT_FALSE(m_hub->RequestClose());

    transfer->Close();
    ASSERT_TRUE(test::WaitUntil([&] { return m_hub->activeCount() == 0; }));
    EXPECT_EQ(m_signals.counts, (std::vector<int>{1, 0}));
    EXPECT_FALSE(uploads.IsActive(0));
    EXPECT_EQ(uploads.Cell(id, Model::Host), QStringLiteral("N/A"));
    EXPECT_TRUE(m_hub->RequestClose());
}

TEST_F(TransferHubTest, ClosingSavesEverythingAndDeletesOnlyTemporarySendArchives)
{
    m_policy.SetMode(PolicyMode::AcceptOnly);
    ASSERT_EQ(m_rules.Add({QStringLiteral("pc1"), m_profile.path(), QStringLiteral("5")}),
              AutoReceiveRules::Check::Ok);
    const QString temp = m_folder.tempFolder() + QLatin1Char('/');
    for (const char* name : {"VN1.zip", "VN77.zip", "VNx", "ZIV1.zip", "vn2.zip", "notes.txt"})
        m_profile.write(QStringLiteral("Temp/") + QLatin1String(name), "x");
    m_profile.write(QStringLiteral("VN3.zip"), "x");

    m_hub->Closing();

    EXPECT_EQ(m_settingsSaves, 1);
    EXPECT_EQ(m_store.ReadString(SettingsStore::PolicyKey, QStringLiteral("TunPolicy")),
              QStringLiteral("3"));
    EXPECT_TRUE(QFile::exists(m_folder.file(QStringLiteral("cachedreslist.vnt"))));
    AutoReceiveRules reloaded;
    reloaded.Load(m_folder.file(QStringLiteral("autorec.vnt")));
    ASSERT_EQ(reloaded.rules().size(), 1u);
    EXPECT_EQ(reloaded.rules().front().host, QStringLiteral("pc1"));

    QStringList left = QDir(m_folder.tempFolder()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("ZIV1.zip"), QStringLiteral("notes.txt"),
                                 QStringLiteral("vn2.zip")}));
    EXPECT_TRUE(QFile::exists(m_folder.file(QStringLiteral("VN3.zip"))));
}

TEST_F(TransferHubTest, ResumeListIsSavedWhenATransferSaysItChanged)
{
    const QString list = m_folder.file(QStringLiteral("cachedreslist.vnt"));
    ASSERT_FALSE(QFile::exists(list));
    HandOver(m_hub.get(), hub::UM_RESUMES_CHANGED{});
    ASSERT_TRUE(test::WaitUntil([&] { return QFile::exists(list); }));
}

TEST_F(TransferHubTest, TunnelsAreListedTakenOnceAndClosedWithTheHub)
{
    RequestHeader registration = SampleRequest(3);
    registration.nickName = QByteArrayLiteral("Bob");
    auto first = Send(registration);
    ASSERT_TRUE(test::WaitUntil([&] { return m_hub->tunnels().rows().size() == 1; }));
    auto second = Send(registration);
    ASSERT_TRUE(test::WaitUntil([&] { return m_hub->tunnels().rows().size() == 2; }));
    m_policy.SetMode(PolicyMode::DenyAll);
    auto denied = Send(registration);
    ASSERT_TRUE(test::WaitUntil([&] { return m_hub->tunnels().rows().size() == 3; }));

    const auto& rows = m_hub->tunnels().rows();
    EXPECT_EQ(rows[0].status(), QStringLiteral("Dropped"));
    EXPECT_EQ(rows[0].statusImage(), 4);
    EXPECT_FALSE(rows[0].handle);
    const QString host = rows[1].host;
    for (int i : {1, 2}) {
        EXPECT_EQ(rows[i].type(), QStringLiteral("Incoming"));
        EXPECT_EQ(rows[i].nickName, QStringLiteral("Bob"));
        EXPECT_EQ(rows[i].status(), QStringLiteral("Open"));
        EXPECT_EQ(rows[i].statusImage(), 2);
    }
    EXPECT_TRUE(m_hub->downloads().rowCount() == 0 && m_hub->activeCount() == 0);

    // The newest open tunnel from that host goes first; a host must match exactly.
    EXPECT_FALSE(m_hub->services().takeTunnel(QStringLiteral("elsewhere")));
    if (host != host.toUpper()) {
        EXPECT_FALSE(m_hub->services().takeTunnel(host.toUpper()));
    }
    std::unique_ptr<TlsSession> taken = m_hub->services().takeTunnel(host);
    ASSERT_TRUE(taken);
    EXPECT_EQ(rows[1].status(), QStringLiteral("Used"));
    EXPECT_EQ(rows[1].statusImage(), 4);
    EXPECT_EQ(rows[2].status(), QStringLiteral("Open"));
    ASSERT_TRUE(WriteRequest(*taken, SampleRequest()));
    ASSERT_TRUE(ReadRequest(*second));

    // The older one is closed with the hub.
    m_listener.reset();
    m_hub.reset();
    char byte = 0;
    EXPECT_LE(first->Read(&byte, 1), 0);
}

} // namespace
} // namespace vantrel
