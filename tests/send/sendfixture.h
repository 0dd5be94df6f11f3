#pragma once

#include "core/base/settingsstore.h"
#include "core/base/transferlistmodel.h"
#include "core/base/transferservices.h"
#include "netutil/dyndnsbook.h"
#include "send/recenthosts.h"
#include "send/sendtransfer.h"
#include "stats/ratecounters.h"
#include "tests/send/scriptedreceiver.h"
#include "tests/support/quiethub.h"
#include "tests/support/recordingsoundplayer.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QObject>

#include <memory>
#include <vector>

namespace vantrel {
class ZipBridgeLoader;
}

namespace vantrel::test {

// Stands in for the hub: records the transfers that reported their closing.
class ClosedSink final : public QuietHub
{
public:
    void Take(hub::UM_SEND_CLOSED message) override { closed.push_back(message.transfer); }
    std::vector<SendTransfer*> closed;
};

// A sending copy's surroundings in a temporary profile (certificates trusting the shared
// test authority, a Temp folder), an UPLOADS list, and a receiving peer's certificate folder.
class SendFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    void SetUp() override;

    static ZipBridgeLoader* zip();

    // A transfer for `path` with a fresh UPLOADS row, already first-shown.
    std::unique_ptr<SendTransfer> Open(const QString& path);
    // Writes a source file below the data folder; returns its path.
    QString Source(const QString& relativeName, const QByteArray& bytes);
    std::unique_ptr<ScriptedReceiver> Receiver(ScriptedReceiver::Script script = {});
    // Sends to the receiver, directly.
    void SendTo(SendTransfer& transfer, const ScriptedReceiver& receiver,
                const QString& description = {});
    // Waits for the state (or for Closed, Broken... when they come instead).
    static bool WaitForState(const SendTransfer& transfer, SendTransfer::State state,
                             int timeoutMs = 20000);
    QString TempFolderPath() const { return m_profile.file(QStringLiteral("Temp")); }
    QStringList TempFiles() const;

    TempFolder m_profile;
    TempFolder m_peer;
    TempFolder m_data;
    TransferListModel m_uploads{TransferListModel::Kind::Uploads};
    RateCounters m_counters;
    RecordingSoundPlayer m_sounds;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<RecentHosts> m_recent;
    DynDnsBook m_book;
    ClosedSink m_hub;
    TransferServices m_services;
};

// Random bytes that do not compress; text that does.
QByteArray RandomBytes(int size, unsigned seed = 1);
QByteArray TextBytes(int size);

} // namespace vantrel::test
