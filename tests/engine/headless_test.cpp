// A copy without a display: its requests are answered by the auto-receive rules alone, every
// ended transfer is closed by itself, and each step is told in one printed line.
#include "core/headlessserver.h"
#include "core/transferhub.h"
#include "receive/autoreceiverules.h"
#include "receive/resumecache.h"
#include "stats/ratecounters.h"
#include "tests/engine/twocopies.h"

#include <QDir>
#include <QRegularExpression>
#include <QTextStream>

namespace vantrel::test {
namespace {

using RecvState = ReceiveTransfer::State;
using SendState = SendTransfer::State;

// Alice sends; Bob serves headless, nobody presenting his transfers but the server.
class Headless : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_alice = std::make_unique<EngineCopy>(QByteArrayLiteral("Alice"));
        EngineCopy::Options bob;
        bob.nickName = QByteArrayLiteral("Bob");
        bob.showTransfers = false;
        m_bob = std::make_unique<EngineCopy>(bob);
        ASSERT_TRUE(m_alice->ok()) << m_alice->error().toStdString();
        ASSERT_TRUE(m_bob->ok()) << m_bob->error().toStdString();
        ASSERT_TRUE(EngineCopy::TrustEachOther(*m_alice, *m_bob));
        m_server = std::make_unique<HeadlessServer>(m_bob->hub(), m_out);
        m_folder = m_data.file(QStringLiteral("incoming"));
        QDir().mkpath(m_folder);
    }

    void TearDown() override
    {
        m_server.reset();
        m_alice.reset();
        m_bob.reset();
    }

    void AddRule()
    {
        ASSERT_EQ(m_bob->rules().Add({QStringLiteral("127.0.0.1"), m_folder, QStringLiteral("0")}),
                  AutoReceiveRules::Check::Ok);
    }

    // The printed lines that begin with `outcome`.
    QStringList Lines(const QString& outcome) const
    {
        return m_printed.split(QLatin1Char('\n')).filter(QRegularExpression(u'^' + outcome + u':'));
    }

    bool AllClosed()
    {
        return WaitUntil([&] { return m_bob->hub().activeCount() == 0; }, TransferTimeoutMs);
    }

    std::unique_ptr<EngineCopy> m_alice;
    std::unique_ptr<EngineCopy> m_bob;
    TempFolder m_data;
    QString m_folder;
    QString m_printed;
    QTextStream m_out{&m_printed};
    std::unique_ptr<HeadlessServer> m_server;
};

struct Offer
{
    const char* name;
    bool directory;
    bool compression;
};

void PrintTo(const Offer& c, std::ostream* out)
{
    *out << c.name;
}

class HeadlessDelivery : public Headless, public ::testing::WithParamInterface<Offer>
{
};

TEST_P(HeadlessDelivery, RuleMatchedRequestArrivesAndCloses)
{
    const Offer& offer = GetParam();
    const QString source = m_data.file(QStringLiteral("src/payload"));
    if (offer.directory)
        WriteSampleTree(source);
    else
        WriteFile(source, RandomData(300000, 3));
    AddRule();

    QPointer<SendTransfer> send = m_alice->OpenSend(source, offer.compression);
    EngineCopy::SendTo(*send, *m_bob);
    ASSERT_TRUE(WaitForState(send, SendState::Completed)) << Describe(*m_alice);
    ASSERT_TRUE(AllClosed()) << Describe(*m_bob);
    EXPECT_TRUE(WaitForClosed(m_bob->receives().front()));

    EXPECT_EQ(TreeDifference(source, m_folder + QStringLiteral("/payload")), QString());
    EXPECT_TRUE(TempFiles(*m_bob).isEmpty());
    const QString what = offer.directory ? QStringLiteral("directory \"payload\"")
                                         : QStringLiteral("file \"payload\"");
    ASSERT_EQ(Lines(QStringLiteral("Request")).size(), 1) << m_printed.toStdString();
    EXPECT_TRUE(Lines(QStringLiteral("Request")).front().contains(what));
    EXPECT_TRUE(Lines(QStringLiteral("Request")).front().contains(QStringLiteral("(Alice)")));
    EXPECT_TRUE(Lines(QStringLiteral("Request")).front().contains(QStringLiteral("rule matches")));
    EXPECT_EQ(Lines(QStringLiteral("Accepted")).size(), 1) << m_printed.toStdString();
    ASSERT_EQ(Lines(QStringLiteral("Completed")).size(), 1) << m_printed.toStdString();
    EXPECT_TRUE(Lines(QStringLiteral("Completed"))
                    .front()
                    .endsWith(QStringLiteral("saved as ") + m_folder + QStringLiteral("/payload")));
    EXPECT_TRUE(Lines(QStringLiteral("Refused")).isEmpty());
    EXPECT_TRUE(Lines(QStringLiteral("Failed")).isEmpty());
}

const Offer Offers[] = {
    {"RawFile", false, false}, {"CompressedFile", false, true}, {"Directory", true, true}};
INSTANTIATE_TEST_SUITE_P(Offers, HeadlessDelivery, ::testing::ValuesIn(Offers), CaseName());

TEST_F(Headless, UnmatchedRequestIsRefusedAtOnceWithTheReason)
{
    // A rule for someone else, and a disabled one for this peer: neither answers.
    ASSERT_EQ(m_bob->rules().Add({QStringLiteral("10.1.2.3"), m_folder, QStringLiteral("0")}),
              AutoReceiveRules::Check::Ok);
    AddRule();
    m_bob->rules().SetEnabled(1, false);
    const QString source = m_data.file(QStringLiteral("src/unwanted.txt"));
    WriteFile(source, TextData(5000));

    QPointer<SendTransfer> send = m_alice->OpenSend(source);
    EngineCopy::SendTo(*send, *m_bob);
    ASSERT_TRUE(WaitForState(send, SendState::Refused)) << Describe(*m_alice);
    EXPECT_EQ(send->view().refusalComment, HeadlessServer::RefusalComment());
    EXPECT_LE(HeadlessServer::RefusalComment().toUtf8().size(), 255);
    ASSERT_TRUE(AllClosed());
    EXPECT_TRUE(QDir(m_folder).isEmpty());

    ASSERT_EQ(Lines(QStringLiteral("Request")).size(), 1) << m_printed.toStdString();
    EXPECT_TRUE(Lines(QStringLiteral("Request")).front().contains(QStringLiteral("no auto")));
    ASSERT_EQ(Lines(QStringLiteral("Refused")).size(), 1) << m_printed.toStdString();
    EXPECT_TRUE(Lines(QStringLiteral("Refused")).front().contains(QStringLiteral("unwanted.txt")));
    EXPECT_TRUE(Lines(QStringLiteral("Refused")).front().contains(QStringLiteral("5000 bytes")));
    EXPECT_TRUE(Lines(QStringLiteral("Accepted")).isEmpty());
    // Refusing is no reason to keep announcing the request.
    EXPECT_FALSE(m_bob->hub().trayAnimating());
}

// A matched transfer that breaks off keeps its data for a later resume and closes; the next
// offer of the same file continues it, all unattended. Raw, the partial file stays where it
// is; as an archive, it goes to the resume cache.
class HeadlessResume : public Headless, public ::testing::WithParamInterface<Offer>
{
};

TEST_P(HeadlessResume, BrokenTransferIsKeptAndResumedUnattended)
{
    const bool compression = GetParam().compression;
    const QString source = m_data.file(QStringLiteral("src/movie.bin"));
    WriteFile(source, RandomData(600 * 1024, 21));
    AddRule();
    m_alice->UseManualClock();

    QPointer<SendTransfer> first = m_alice->OpenSend(source, compression);
    first->SetBandLimit(16); // 32 KiB, then it waits for a tick that never comes
    EngineCopy::SendTo(*first, *m_bob);
    ASSERT_TRUE(WaitUntil([&] { return !m_bob->receives().empty(); }));
    ASSERT_TRUE(WaitForReceived(m_bob->receives().front(), 16 * 2048));
    first->Abort();
    ASSERT_TRUE(AllClosed()) << Describe(*m_bob);
    EXPECT_EQ(m_bob->resumes().entries().size(), compression ? 1u : 0u);
    ASSERT_EQ(Lines(QStringLiteral("Failed")).size(), 1) << m_printed.toStdString();
    EXPECT_TRUE(Lines(QStringLiteral("Failed"))
                    .front()
                    .endsWith(QStringLiteral(
                        ": Connection Error; what arrived is kept for a later resume")))
        << m_printed.toStdString();

    m_bob->counters().TakeAndReset();
    QPointer<SendTransfer> second = m_alice->OpenSend(source, compression);
    EngineCopy::SendTo(*second, *m_bob);
    ASSERT_TRUE(WaitForState(second, SendState::Completed)) << Describe(*m_alice);
    ASSERT_TRUE(AllClosed()) << Describe(*m_bob);
    EXPECT_EQ(TreeDifference(source, m_folder + QStringLiteral("/movie.bin")), QString());
    EXPECT_TRUE(m_bob->resumes().entries().empty());
    // Only what was missing travelled the second time.
    EXPECT_LT(m_bob->counters().TakeAndReset().downloadBytes, 600u * 1024 - 16 * 2048 + 1024);
    ASSERT_EQ(Lines(QStringLiteral("Accepted")).size(), 2) << m_printed.toStdString();
    EXPECT_TRUE(Lines(QStringLiteral("Accepted")).back().contains(QStringLiteral("resuming")));
    EXPECT_EQ(Lines(QStringLiteral("Completed")).size(), 1);
}

const Offer ResumedOffers[] = {{"RawFile", false, false}, {"CompressedFile", false, true}};
INSTANTIATE_TEST_SUITE_P(Offers, HeadlessResume, ::testing::ValuesIn(ResumedOffers), CaseName());

} // namespace
} // namespace vantrel::test
