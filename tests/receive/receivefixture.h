#pragma once

#include "core/base/transferlistmodel.h"
#include "core/base/transferservices.h"
#include "net/wirerecords.h"
#include "receive/autoreceiverules.h"
#include "receive/receivetransfer.h"
#include "receive/resumecache.h"
#include "stats/ratecounters.h"
#include "tests/support/quiethub.h"
#include "tests/support/recordingsoundplayer.h"
#include "tests/support/tempprofile.h"

#include <QObject>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace vantrel::test {

// Stands in for the hub: records what transfers hand to it.
class HubSink : public QuietHub
{
public:
    std::vector<ReceiveTransfer*> closed;
    int resumesChanged = 0;

    void Take(hub::UM_RECEIVE_CLOSED message) override { closed.push_back(message.transfer); }
    void Take(hub::UM_RESUMES_CHANGED) override { ++resumesChanged; }
};

// The sending copy, played by the test: a verified client session to a loopback server whose
// accepted session becomes the receive transfer's connection. The request travels over the
// wire first; the script (reply, data header, data) runs on its own thread once started.
class ScriptedSender
{
public:
    using Script = std::function<void(TlsSession& session, ScriptedSender& sender)>;

    ScriptedSender(const QString& profileFolder, const RequestHeader& request);
    ~ScriptedSender(); // joins the script

    bool connected() const { return m_connection != nullptr; }
    const RequestHeader& request() const { return m_request; }
    std::unique_ptr<IncomingConnection> TakeConnection() { return std::move(m_connection); }

    void Start(Script script);
    void Join();

    // Reads one reply and records it; nothing when none came.
    std::optional<ReplyHeader> ReadReply(TlsSession& session);
    // The usual sender: reads the reply and, when accepted, writes the data header and the
    // stream from the reply's offset in 1024-byte blocks, then closes. `cutAt` stops after
    // that many stream bytes (closing as if the sender had gone away).
    static Script Stream(QByteArray stream, bool raw, std::optional<std::uint32_t> cutAt = {});

    std::vector<ReplyHeader> replies; // read on the script's thread; look after Join
    std::uint32_t bytesSent = 0;

private:
    RequestHeader m_request;
    std::unique_ptr<TlsSession> m_client;
    std::unique_ptr<IncomingConnection> m_connection;
    std::thread m_thread;
};

QByteArray ReadAll(const QString& path);

class ReceiveFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    void SetUp() override;

    static RequestHeader Request(const QByteArray& fileName, std::uint32_t dirCount,
                                 std::uint32_t fileCount, std::uint32_t totalSize, int rawFlag);
    std::unique_ptr<ScriptedSender> Sender(const RequestHeader& request);
    // A presented transfer on the sender's connection; timers off (tests tick by hand).
    std::unique_ptr<ReceiveTransfer> Open(ScriptedSender& sender,
                                          std::optional<AutoReceiveMatch> match = {});

    // Bytes that do not compress to nothing.
    static QByteArray Pattern(int size, int seed = 1);
    // The archive the sending copy would make of a file or folder below the data folder.
    QByteArray ZipFile(const QString& path);
    QByteArray ZipFolder(const QString& path);
    QStringList TempFiles() const;

    bool WaitForState(ReceiveTransfer& transfer, ReceiveTransfer::State state,
                      int timeoutMs = 20000);
    // Accepts into `target` while files of this process may not grow past `bytes` (a disk
    // that refuses writes); true once the transfer is interrupted.
    bool AcceptUnderFileSizeLimit(ReceiveTransfer& transfer, const QString& target,
                                  std::uint64_t bytes);

    TempFolder m_profile; // the receiving copy's program folder
    TempFolder m_data;    // sources and destinations
    ProgramFolder m_folder;
    std::unique_ptr<ResumeCache> m_resumes;
    RateCounters m_counters;
    RecordingSoundPlayer m_sounds;
    HubSink m_hub;
    TransferListModel m_downloads{TransferListModel::Kind::Downloads};
    TransferServices m_services;
    std::vector<std::pair<QString, QString>> m_boxes; // message boxes shown
};

} // namespace vantrel::test
