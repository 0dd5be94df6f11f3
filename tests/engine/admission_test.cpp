// What a copy's listener lets through, and what the sending side then sees: other versions,
// the incoming policy, damaged requests, odd kinds and untrusted certificates.
#include "core/transferhub.h"
#include "stats/formatsize.h"
#include "tests/engine/rawpeer.h"
#include "tests/engine/twocopies.h"
#include "tunnel/incomingpolicy.h"

#include <QFileInfo>

namespace vantrel::test {
namespace {

using Column = TransferListModel::Column;

RequestHeader SampleRequest()
{
    RequestHeader request;
    request.nickName = QByteArrayLiteral("Scripted");
    request.fileName = QByteArrayLiteral("report.pdf");
    request.comment = QByteArrayLiteral("by hand");
    request.dirCount = 0;
    request.fileCount = 1;
    request.totalSize = 4096;
    request.senderPort = 12666;
    request.rawFlag = 1;
    return request;
}

QByteArray Encoded(const RequestHeader& request)
{
    const auto bytes = request.Encode();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), RequestHeader::Size);
}

class Admission : public TwoCopies
{
protected:
    // A real send from Alice that Bob accepts: proves Bob's listener still serves.
    void SendOneThrough(int expectedReceives)
    {
        WriteFile(Source(QStringLiteral("after.bin")), RandomData(20000, 5));
        QPointer<SendTransfer> send = m_alice->OpenSend(Source(QStringLiteral("after.bin")), false);
        EngineCopy::SendTo(*send, *m_bob);
        QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(expectedReceives);
        ASSERT_TRUE(receive);
        ASSERT_EQ(receive->request().fileName, QByteArrayLiteral("after.bin"));
        receive->Accept(Destination(QStringLiteral("after.bin")));
        ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed));
        ASSERT_TRUE(WaitForState(receive, ReceiveTransfer::State::Completed));
        EXPECT_EQ(TreeDifference(Source(QStringLiteral("after.bin")),
                                 Destination(QStringLiteral("after.bin"))),
                  QString());
    }
};

// A client of another protocol version is told so, and nothing reaches the lists.
TEST_F(Admission, OtherVersionOfClientIsAnsweredAndNotListed)
{
    RawClient client(m_alice->trustListFile(), m_bob->port());
    ASSERT_TRUE(client.connected());
    RequestHeader request = SampleRequest();
    request.versionA = 1;
    request.versionB = 3;
    ASSERT_TRUE(client.WriteBytes(Encoded(request)));
    const std::optional<ReplyHeader> reply = client.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->IsVersionMismatch());
    EXPECT_FALSE(reply->IsAccepted());
    EXPECT_EQ(reply->nickName, QByteArrayLiteral("Bob"));
    client.Close();

    SendOneThrough(1);
    EXPECT_EQ(m_bob->downloads().rowCount(), 1);
}

// A real send that meets a server of another version says so, and may be sent again.
TEST_F(Admission, OtherVersionOfServerStopsTheSendWhichMayGoAgain)
{
    OneRequestServer server(m_bob->folder().path(),
                          ReplyHeader::VersionMismatch(QByteArrayLiteral("Old")));
    ASSERT_TRUE(server.listening());
    WriteFile(Source(QStringLiteral("doc.txt")), TextData(3000));
    QPointer<SendTransfer> send = m_alice->OpenSend(Source(QStringLiteral("doc.txt")));
    SendInputs inputs;
    inputs.hostText = server.hostText();
    send->Send(inputs);

    ASSERT_TRUE(WaitUntil([&] {
        return send->state() == SendTransfer::State::Preparing && send->view().sendEnabled;
    }));
    EXPECT_EQ(send->outcome().reason, SendReason::VersionMismatch);
    EXPECT_EQ(send->view().statusColour, SendView::Colour::Failure);
    EXPECT_EQ(send->view().panel, SendView::Panel::Request);
    EXPECT_EQ(m_alice->sounds().Count(Sound::Error), 1);
    ASSERT_TRUE(WaitUntil([&] { return server.finished(); }));
    ASSERT_TRUE(server.request());
    EXPECT_EQ(server.request()->fileName, QByteArrayLiteral("doc.txt"));

    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    receive->Accept(Destination(QStringLiteral("doc.txt")));
    ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed));
    ASSERT_TRUE(WaitForState(receive, ReceiveTransfer::State::Completed));
    EXPECT_EQ(
        TreeDifference(Source(QStringLiteral("doc.txt")), Destination(QStringLiteral("doc.txt"))),
        QString());
}

// Deny-all drops the request without a reply; the receiver keeps a plain record of it.
TEST_F(Admission, PolicyDenialResetsTheSenderAndListsTheDroppedRequest)
{
    m_bob->policy().SetMode(PolicyMode::DenyAll);
    WriteSampleTree(Source(QStringLiteral("tree")));
    QPointer<SendTransfer> send = m_alice->OpenSend(Source(QStringLiteral("tree")));
    EngineCopy::SendTo(*send, *m_bob);

    ASSERT_TRUE(WaitUntil([&] {
        return send->state() == SendTransfer::State::Preparing && send->view().sendEnabled;
    }));
    EXPECT_EQ(send->outcome().reason, SendReason::ConnectionReset);
    EXPECT_EQ(send->view().statusColour, SendView::Colour::Failure);

    ASSERT_TRUE(WaitUntil([&] { return m_bob->downloads().rowCount() == 1; }));
    TransferListModel& list = m_bob->downloads();
    EXPECT_EQ(TopCell(list, Column::Status), QStringLiteral("Dropped"));
    EXPECT_EQ(TopIcon(list), TransferListModel::IconDropped);
    EXPECT_EQ(TopCell(list, Column::NickName), QStringLiteral("Alice"));
    EXPECT_EQ(TopCell(list, Column::FileName), QStringLiteral("tree"));
    EXPECT_EQ(TopCell(list, Column::Dirs), QString::number(send->dirCount()));
    EXPECT_EQ(TopCell(list, Column::Files), QString::number(send->fileCount()));
    EXPECT_EQ(TopCell(list, Column::Size), FormatSize(send->totalSize()));
    EXPECT_FALSE(list.IsActive(0));
    EXPECT_TRUE(m_bob->receives().empty());
    EXPECT_EQ(m_bob->hub().activeCount(), 0);
    EXPECT_EQ(m_bob->hub().trayHint(), TransferHub::InitialTrayHint);
}

// A request cut short lists nothing; the next one is served as usual.
TEST_F(Admission, ShortRequestListsNothingAndTheListenerServesOn)
{
    RawClient client(m_alice->trustListFile(), m_bob->port());
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.WriteBytes(Encoded(SampleRequest()).left(300)));
    client.Close();

    SendOneThrough(1);
    EXPECT_EQ(m_bob->downloads().rowCount(), 1);
    EXPECT_EQ(m_bob->receives().size(), 1u);
}

// Any kind other than a tunnel registration is a transfer request.
TEST_F(Admission, UnknownKindIsTakenAsATransferRequest)
{
    RawClient client(m_alice->trustListFile(), m_bob->port());
    ASSERT_TRUE(client.connected());
    RequestHeader request = SampleRequest();
    request.kind = 7;
    ASSERT_TRUE(client.WriteBytes(Encoded(request)));

    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    EXPECT_EQ(receive->request().fileName, QByteArrayLiteral("report.pdf"));
    EXPECT_EQ(TopCell(m_bob->downloads(), Column::FileName), QStringLiteral("report.pdf"));
    EXPECT_EQ(TopCell(m_bob->downloads(), Column::NickName), QStringLiteral("Scripted"));
    EXPECT_EQ(m_bob->hub().activeCount(), 1);
    EXPECT_EQ(m_bob->sounds().Count(Sound::NewRequest), 1);

    receive->Abort(QByteArrayLiteral("not from strangers"));
    const std::optional<ReplyHeader> reply = client.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->IsAccepted());
    EXPECT_FALSE(reply->IsVersionMismatch());
    EXPECT_EQ(reply->comment, QByteArrayLiteral("not from strangers"));
    EXPECT_EQ(reply->nickName, QByteArrayLiteral("Bob"));
}

// Copies that do not trust each other never get as far as a request.
TEST_F(Admission, UntrustedServerIsRefusedBeforeAnyRequest)
{
    ASSERT_TRUE(EngineCopy::DistrustEachOther(*m_alice, *m_bob));
    WriteFile(Source(QStringLiteral("secret.txt")), TextData(1000));
    QPointer<SendTransfer> send = m_alice->OpenSend(Source(QStringLiteral("secret.txt")));
    EngineCopy::SendTo(*send, *m_bob);

    ASSERT_TRUE(WaitUntil([&] {
        return send->state() == SendTransfer::State::Preparing && send->view().sendEnabled;
    }));
    EXPECT_EQ(send->outcome().reason, SendReason::NotTrusted);
    EXPECT_EQ(m_alice->sounds().Count(Sound::Error), 1);

    // Trusted again, the same window gets through.
    ASSERT_TRUE(EngineCopy::TrustEachOther(*m_alice, *m_bob));
    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    EXPECT_EQ(m_bob->downloads().rowCount(), 1);
    receive->Abort({});
    EXPECT_TRUE(WaitForState(send, SendTransfer::State::Refused));
}

} // namespace
} // namespace vantrel::test
