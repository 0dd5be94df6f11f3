// Trust at first contact: a send to a copy whose authority is not trusted shows that
// authority, and only the sender's word adds it to the trust list.
#include "net/certificates.h"
#include "net/trustlist.h"
#include "tests/engine/rawpeer.h"
#include "tests/engine/twocopies.h"
#include "tests/support/testcertificates.h"

#include <QFile>

namespace vantrel::test {
namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Trust : public TwoCopies
{
protected:
    void SetUp() override
    {
        TwoCopies::SetUp();
        ASSERT_TRUE(EngineCopy::DistrustEachOther(*m_alice, *m_bob));
        m_source = Source(QStringLiteral("plan.bin"));
        WriteFile(m_source, RandomData(300 * 1024, 7));
        m_listBefore = ReadAll(m_alice->trustListFile());
        m_bobAuthority = ReadAll(m_bob->folder().file(TrustList::OwnAuthorityFile));
    }

    // Alice's send to `hostText`, settled on the trust panel.
    QPointer<SendTransfer> SendUntrusted(const QString& hostText)
    {
        QPointer<SendTransfer> send = m_alice->OpenSend(m_source);
        SendInputs inputs;
        inputs.hostText = hostText;
        send->Send(inputs);
        EXPECT_TRUE(WaitUntil([&] { return !send || send->Settled(); }, TransferTimeoutMs));
        EXPECT_TRUE(send);
        if (send) {
            EXPECT_EQ(send->view().panel, SendView::Panel::Trust) << StatusOf(send);
            EXPECT_EQ(send->outcome().reason, SendReason::NotTrusted);
        }
        return send;
    }

    QString m_source;
    QByteArray m_listBefore;
    QByteArray m_bobAuthority;
};

TEST_F(Trust, ConfirmingAddsExactlyTheReceiversAuthorityAndSendsAgain)
{
    QPointer<SendTransfer> send = SendUntrusted(m_bob->hostText());
    ASSERT_TRUE(send);
    // The fingerprint is the one the receiver shows for itself (--print-ca, Options page).
    EXPECT_TRUE(send->view().trustOffered);
    EXPECT_EQ(send->presentedAuthority(), m_bobAuthority);
    EXPECT_EQ(send->view().trustFingerprint, certificates::ReadableFingerprint(m_bobAuthority));
    EXPECT_EQ(send->view().trustName, certificates::SubjectText(m_bobAuthority));
    EXPECT_EQ(ReadAll(m_alice->trustListFile()), m_listBefore);

    send->TrustReceiver();
    EXPECT_EQ(ReadAll(m_alice->trustListFile()), m_listBefore + m_bobAuthority);
    const QList<TrustList::Entry> entries = TrustList(m_alice->folder()).Entries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_TRUE(entries[0].own);
    EXPECT_FALSE(entries[1].own);
    EXPECT_TRUE(entries[1].since.isValid());

    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    const QString target = Destination(receive->proposedName());
    receive->Accept(target);
    ASSERT_TRUE(WaitForState(receive, ReceiveTransfer::State::Completed)) << StatusOf(receive);
    ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed)) << StatusOf(send);
    EXPECT_EQ(TreeDifference(m_source, target), QString());
}

TEST_F(Trust, RefusingChangesNothing)
{
    const QString record = m_alice->folder().file(TrustList::RecordFile);
    const QByteArray recordBefore = ReadAll(record);
    QPointer<SendTransfer> send = SendUntrusted(m_bob->hostText());
    ASSERT_TRUE(send);
    send->DeclineTrust();
    EXPECT_EQ(send->view().panel, SendView::Panel::Request);
    EXPECT_TRUE(send->view().sendEnabled);
    EXPECT_EQ(ReadAll(m_alice->trustListFile()), m_listBefore);
    EXPECT_EQ(ReadAll(record), recordBefore);
    // The answer is taken once: a late confirmation does nothing.
    send->TrustReceiver();
    EXPECT_EQ(ReadAll(m_alice->trustListFile()), m_listBefore);
    EXPECT_EQ(m_bob->receives().size(), 0u);
}

// Peers that present no authority that signed their certificate: a copy built to send only its
// own certificate, and one that sends an unrelated authority along. The certificate's own
// fingerprint is shown and nothing is offered.
struct LeafCase
{
    const char* name;
    bool unrelatedAuthority;
};

class TrustLeaf : public Trust, public ::testing::WithParamInterface<LeafCase>
{
};

TEST_P(TrustLeaf, ShowsTheCertificateAndOffersNothing)
{
    TempFolder peer;
    const QByteArray leaf = ReadAll(m_bob->folder().file(QStringLiteral("servercert.pem")));
    ASSERT_EQ(certificates::SplitPemCertificates(leaf).size(), 1);
    const QByteArray unrelated =
        testcertificates::NewAuthority(QStringLiteral("Mallory")).certificatePem;
    peer.write(QStringLiteral("servercert.pem"),
               GetParam().unrelatedAuthority ? leaf + unrelated : leaf);
    peer.write(QStringLiteral("serverkey.pem"),
               ReadAll(m_bob->folder().file(QStringLiteral("serverkey.pem"))));
    OneRequestServer server(peer.path(), ReplyHeader{});
    ASSERT_TRUE(server.listening());

    QPointer<SendTransfer> send = SendUntrusted(server.hostText());
    ASSERT_TRUE(send);
    EXPECT_FALSE(send->view().trustOffered);
    EXPECT_TRUE(send->presentedAuthority().isEmpty());
    EXPECT_EQ(send->view().trustFingerprint, certificates::ReadableFingerprint(leaf));
    EXPECT_TRUE(send->view().trustText.contains(QStringLiteral("--trust FILE")));
    send->TrustReceiver();
    EXPECT_EQ(ReadAll(m_alice->trustListFile()), m_listBefore);
}

INSTANTIATE_TEST_SUITE_P(Peers, TrustLeaf,
                         ::testing::Values(LeafCase{"LeafOnly", false},
                                           LeafCase{"UnrelatedAuthority", true}),
                         CaseName());

} // namespace
} // namespace vantrel::test
