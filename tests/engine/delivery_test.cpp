// Files and trees moved between two running copies over loopback TLS, compared byte for byte.
#include "core/transferhub.h"
#include "stats/formatsize.h"
#include "stats/ratecounters.h"
#include "tests/engine/twocopies.h"

#include <QDir>
#include <QFileInfo>

#include <functional>
#include <ostream>

namespace vantrel::test {
namespace {

using Column = TransferListModel::Column;

struct PayloadCase
{
    const char* name;
    // Makes the source below `folder` and returns its path.
    std::function<QString(const QString& folder)> make;
    bool compression;
};

void PrintTo(const PayloadCase& c, std::ostream* out)
{
    *out << c.name;
}

QString MakeFile(const QString& folder, const QString& name, const QByteArray& bytes)
{
    WriteFile(folder + QLatin1Char('/') + name, bytes);
    return folder + QLatin1Char('/') + name;
}

const PayloadCase PayloadCases[] = {
    {"RawFile",
     [](const QString& f) {
         return MakeFile(f, QStringLiteral("résumé 2026 €.bin"), RandomData(300000));
     },
     false},
    {"CompressedFile",
     [](const QString& f) { return MakeFile(f, QStringLiteral("server.log"), TextData(400000)); },
     true},
    {"CompressedIncompressibleFile",
     [](const QString& f) {
         return MakeFile(f, QStringLiteral("noise.bin"), RandomData(200000, 3));
     },
     true},
    {"NestedTree",
     [](const QString& f) {
         WriteSampleTree(f + QStringLiteral("/Bäume & Äste"));
         return f + QStringLiteral("/Bäume & Äste");
     },
     true},
    {"EmptyFileRaw", [](const QString& f) { return MakeFile(f, QStringLiteral("empty"), {}); },
     false},
    {"EmptyFileCompressed",
     [](const QString& f) { return MakeFile(f, QStringLiteral("empty"), {}); }, true},
    {"EmptyDirectory",
     [](const QString& f) {
         QDir().mkpath(f + QStringLiteral("/nothing here"));
         return f + QStringLiteral("/nothing here");
     },
     true},
};

class Delivery : public TwoCopies, public ::testing::WithParamInterface<PayloadCase>
{
};

TEST_P(Delivery, ArrivesByteIdenticalAndBothEndsComplete)
{
    const PayloadCase& c = GetParam();
    const QString source = c.make(Source(QString()).chopped(1));
    const QString description = QStringLiteral("Grüße — for you ✓");

    QPointer<SendTransfer> send = m_alice->OpenSend(source, c.compression);
    EngineCopy::SendTo(*send, *m_bob, description);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    EXPECT_EQ(receive->view().description, description);
    EXPECT_EQ(receive->view().nickName, QStringLiteral("Alice"));
    EXPECT_EQ(receive->request().rawFlag, c.compression ? 0 : 1);
    EXPECT_EQ(receive->request().totalSize, send->totalSize());
    const QString target = Destination(receive->proposedName());
    receive->Accept(target);

    ASSERT_TRUE(WaitForState(receive, ReceiveTransfer::State::Completed))
        << StatusOf(receive) << " / " << Describe(*m_bob);
    ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed))
        << StatusOf(send) << " / " << Describe(*m_alice);
    EXPECT_EQ(TreeDifference(source, target), QString());
    EXPECT_EQ(QFileInfo(target).fileName(), QFileInfo(source).fileName());

    EXPECT_EQ(send->outcome().reason, SendReason::Delivered);
    EXPECT_EQ(send->view().statusColour, SendView::Colour::Done);
    EXPECT_EQ(receive->view().statusKind, ReceiveView::StatusKind::Done);
    EXPECT_EQ(TopCell(m_alice->uploads(), Column::Status), QStringLiteral("Completed"));
    EXPECT_EQ(TopCell(m_alice->uploads(), Column::NickName), QStringLiteral("Bob"));
    EXPECT_EQ(TopCell(m_bob->downloads(), Column::Status), QStringLiteral("Completed"));
    EXPECT_EQ(m_alice->sounds().Count(Sound::Complete), 1);
    EXPECT_EQ(m_bob->sounds().Count(Sound::Complete), 1);
    EXPECT_EQ(m_alice->sounds().Count(Sound::Error), 0);

    // Both transfers closed: nothing temporary is left behind.
    send->Close();
    receive->Close();
    ASSERT_TRUE(WaitUntil(
        [&] { return m_alice->hub().activeCount() == 0 && m_bob->hub().activeCount() == 0; }));
    EXPECT_EQ(TempFiles(*m_alice), QStringList());
    EXPECT_EQ(TempFiles(*m_bob), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Payloads, Delivery, ::testing::ValuesIn(PayloadCases), CaseName());

struct RefusalCase
{
    const char* name;
    QByteArray reason;
    QByteArray arrives; // the refusal comment of the sender's view
};

void PrintTo(const RefusalCase& c, std::ostream* out)
{
    *out << c.name;
}

const RefusalCase RefusalCases[] = {
    {"Plain", "Sorry but I'm busy now...", "Sorry but I'm busy now..."},
    {"NonAscii", "Nein danke — später ✓ 日本", "Nein danke — später ✓ 日本"},
    {"Exactly255Bytes", QByteArray(255, 'x'), QByteArray(255, 'x')},
    // 128 two-byte characters: the cut at 255 bytes does not split the last one.
    {"CutWholeCharacters", QString(128, QChar(0xE9)).toUtf8(), QString(127, QChar(0xE9)).toUtf8()},
};

class Refusal : public TwoCopies, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(Refusal, CommentArrivesByteForByte)
{
    const RefusalCase& c = GetParam();
    WriteFile(Source(QStringLiteral("offer.txt")), TextData(5000));
    QPointer<SendTransfer> send = m_alice->OpenSend(Source(QStringLiteral("offer.txt")));
    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    receive->Abort(c.reason);

    ASSERT_TRUE(WaitForState(send, SendTransfer::State::Refused));
    ASSERT_TRUE(WaitUntil([&] { return send->view().panel == SendView::Panel::Refused; }));
    EXPECT_EQ(send->view().refusalComment.toUtf8(), c.arrives);
    EXPECT_EQ(send->view().refusalLabel, QStringLiteral("Comment from Bob"));
    EXPECT_EQ(send->outcome().reason, SendReason::Refused);
    EXPECT_EQ(send->outcome().peerNickName, QStringLiteral("Bob"));
    EXPECT_EQ(send->outcome().refusalComment.toUtf8(), c.arrives);
    EXPECT_EQ(TopCell(m_alice->uploads(), Column::Status), QStringLiteral("Refused"));
    EXPECT_TRUE(WaitForClosed(receive));
    EXPECT_EQ(TopCell(m_bob->downloads(), Column::Status), QStringLiteral("Aborted"));
    EXPECT_EQ(TopIcon(m_bob->downloads()), TransferListModel::IconStopped);
}

INSTANTIATE_TEST_SUITE_P(Comments, Refusal, ::testing::ValuesIn(RefusalCases), CaseName());

// Three sends one way and one the other, all at once; then the windows close and the lists
// keep one finished record per transfer.
TEST_F(TwoCopies, ConcurrentTransfersAllArriveAndLeaveFinishedRows)
{
    struct Offer
    {
        EngineCopy* from;
        EngineCopy* to;
        QString source;
        bool compression;
        QPointer<SendTransfer> send;
        QPointer<ReceiveTransfer> receive;
        QString target;
    };
    WriteFile(Source(QStringLiteral("one.bin")), RandomData(2 * 1024 * 1024, 11));
    WriteFile(Source(QStringLiteral("two.log")), TextData(1024 * 1024));
    WriteSampleTree(Source(QStringLiteral("three")));
    WriteFile(Source(QStringLiteral("back.bin")), RandomData(1024 * 1024, 12));
    std::vector<Offer> offers = {
        {m_alice.get(), m_bob.get(), Source(QStringLiteral("one.bin")), false, {}, {}, {}},
        {m_alice.get(), m_bob.get(), Source(QStringLiteral("two.log")), true, {}, {}, {}},
        {m_alice.get(), m_bob.get(), Source(QStringLiteral("three")), true, {}, {}, {}},
        {m_bob.get(), m_alice.get(), Source(QStringLiteral("back.bin")), false, {}, {}, {}},
    };
    for (Offer& offer : offers) {
        offer.send = offer.from->OpenSend(offer.source, offer.compression);
        EngineCopy::SendTo(*offer.send, *offer.to);
    }
    EXPECT_EQ(m_alice->hub().activeCount(), 3);

    // Each receiving side accepts every request as it comes, into a folder of its own.
    ASSERT_TRUE(m_bob->WaitForReceive(3));
    ASSERT_TRUE(m_alice->WaitForReceive(1));
    for (EngineCopy* copy : {m_alice.get(), m_bob.get()}) {
        for (const QPointer<ReceiveTransfer>& receive : copy->receives()) {
            const QString name = receive->proposedName();
            for (Offer& offer : offers) {
                if (offer.to == copy && QFileInfo(offer.source).fileName() == name) {
                    offer.receive = receive;
                    offer.target =
                        Destination(QString::fromUtf8(copy->nickName()) + QLatin1Char('/') + name);
                }
            }
        }
    }
    EXPECT_EQ(m_alice->hub().activeCount(), 4);
    EXPECT_EQ(m_bob->hub().activeCount(), 4);
    QDir().mkpath(Destination(QStringLiteral("Alice")));
    QDir().mkpath(Destination(QStringLiteral("Bob")));
    for (Offer& offer : offers) {
        ASSERT_TRUE(offer.receive) << offer.source.toStdString();
        offer.receive->Accept(offer.target);
    }

    for (Offer& offer : offers) {
        ASSERT_TRUE(WaitForState(offer.receive, ReceiveTransfer::State::Completed))
            << offer.source.toStdString() << ": " << StatusOf(offer.receive);
        ASSERT_TRUE(WaitForState(offer.send, SendTransfer::State::Completed))
            << offer.source.toStdString();
        EXPECT_EQ(TreeDifference(offer.source, offer.target), QString());
    }

    for (Offer& offer : offers) {
        offer.send->Close();
        offer.receive->Close();
    }
    ASSERT_TRUE(WaitUntil(
        [&] { return m_alice->hub().activeCount() == 0 && m_bob->hub().activeCount() == 0; }));
    for (EngineCopy* copy : {m_alice.get(), m_bob.get()}) {
        EXPECT_EQ(copy->hub().trayHint(), QStringLiteral("Active Transfers: 0"));
        const int sends = copy == m_alice.get() ? 3 : 1;
        const int receives = 4 - sends;
        ASSERT_EQ(copy->uploads().rowCount(), sends);
        ASSERT_EQ(copy->downloads().rowCount(), receives);
        for (int row = 0; row < sends; ++row) {
            const auto id = copy->uploads().IdAt(row);
            EXPECT_EQ(copy->uploads().Cell(id, Column::Status), QStringLiteral("Completed"));
            EXPECT_EQ(copy->uploads().StateIcon(id), TransferListModel::IconSendCompleted);
            EXPECT_FALSE(copy->uploads().IsActive(row));
        }
        for (int row = 0; row < receives; ++row) {
            const auto id = copy->downloads().IdAt(row);
            EXPECT_EQ(copy->downloads().Cell(id, Column::Status), QStringLiteral("Completed"));
            EXPECT_EQ(copy->downloads().StateIcon(id), TransferListModel::IconReceiveCompleted);
            EXPECT_EQ(copy->downloads().Cell(id, Column::Speed), QStringLiteral("-"));
            EXPECT_FALSE(copy->downloads().IsActive(row));
        }
        EXPECT_EQ(copy->sounds().Count(Sound::Complete), 4);
        EXPECT_EQ(TempFiles(*copy), QStringList());
    }
}

} // namespace
} // namespace vantrel::test
