#include "core/programcore.h"

#include "core/handoffreceiver.h"
#include "core/transferhub.h"
#include "net/securechannel.h"
#include "net/tlssession.h"
#include "net/wirerecords.h"
#include "receive/listener.h"
#include "send/sendtransfer.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/time.h>

namespace vantrel {
namespace {

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

TEST(ProgramCoreHubTest, CopyListensHandsOffToTheHubAndEndsCleanly)
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
    ASSERT_TRUE(test::WaitUntil([&] { return hub.tunnels().size() == 1; }));
    auto silent = Connect(folder, port);
    ASSERT_TRUE(silent);
    core.reset();
    char byte = 0;
    EXPECT_LE(tunnel->Read(&byte, 1), 0);
    EXPECT_LE(silent->Read(&byte, 1), 0);
}

} // namespace
} // namespace vantrel
