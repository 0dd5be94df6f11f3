// Partial copies: the cache of partial archives, raw destinations, entries that vanish, and
// auto-receive accepting, resuming and keeping data unattended; peer names made safe.
#include "tests/receive/receivefixture.h"

#include "net/tlssession.h"
#include "receive/partialrecords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QThread>

#include <atomic>

namespace vantrel::test {

namespace {

using State = ReceiveTransfer::State;

class ResumeFixture : public ReceiveFixture
{
protected:
    // An archive of a compressible file, and the request that offers it.
    void MakeOffer()
    {
        m_content = Pattern(200000) + QByteArray(200000, 'q') + Pattern(100000, 9);
        m_data.write(QStringLiteral("src/album.tar"), m_content);
        m_archive = ZipFile(m_data.file(QStringLiteral("src/album.tar")));
        ASSERT_GT(m_archive.size(), 100000);
        m_request = Request("album.tar", 0, 1, static_cast<std::uint32_t>(m_content.size()), 0);
    }

    // A first attempt that breaks off after `cut` archive bytes and is kept for later.
    std::uint32_t BreakAndKeep(std::uint32_t cut)
    {
        auto sender = Sender(m_request);
        auto transfer = Open(*sender);
        sender->Start(ScriptedSender::Stream(m_archive, false, cut));
        transfer->Accept(m_data.file(QStringLiteral("first-try.tar")));
        EXPECT_TRUE(WaitForState(*transfer, State::Interrupted));
        // The partial archive waits in the temporary folder, with the note that would find it
        // after a crash.
        EXPECT_EQ(TempFiles(),
                  QStringList({QStringLiteral("ZIV1.zip"), QStringLiteral("ZIV1.zip.partial")}));
        transfer->SaveForLaterResume();
        EXPECT_EQ(transfer->state(), State::Closed);
        EXPECT_EQ(m_resumes->entries().size(), 1u);
        return m_resumes->entries().empty() ? 0 : m_resumes->entries().back().id;
    }

    QByteArray m_content;
    QByteArray m_archive;
    RequestHeader m_request;
};

// The whole road of a cached resume: a broken transfer kept for later, then the same offer
// again, resumed from the cached bytes, arrives whole.
TEST_F(ResumeFixture, ResumeContinuesArchiveFromCachedBytes)
{
    MakeOffer();
    const std::uint32_t cut = 70001;
    const std::uint32_t id = BreakAndKeep(cut);
    ASSERT_EQ(id, 1u);
    EXPECT_EQ(m_resumes->entries()[0].actualSize, cut);
    EXPECT_EQ(m_resumes->entries()[0].fileName, QByteArrayLiteral("album.tar"));
    EXPECT_EQ(QFileInfo(m_folder.file(QStringLiteral("CachedResumes/1.resume"))).size(), cut);
    EXPECT_TRUE(TempFiles().isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return m_hub.resumesChanged == 1; }));

    auto sender = Sender(m_request);
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(m_archive, false));
    // Whatever path is chosen, the cached entry for the offer is found.
    const QString target = m_data.file(QStringLiteral("elsewhere.tar"));
    transfer->Accept(target);
    ASSERT_EQ(transfer->state(), State::ResumeQuestion);
    EXPECT_FALSE(transfer->view().acceptEnabled);
    EXPECT_EQ(transfer->view().focus, ReceiveView::Focus::Resume);
    transfer->Resume();
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    sender->Join();

    ASSERT_EQ(sender->replies.size(), 1u);
    EXPECT_EQ(sender->replies[0].resumeOffset, cut);
    EXPECT_EQ(sender->bytesSent, static_cast<std::uint32_t>(m_archive.size()) - cut);
    EXPECT_EQ(ReadAll(target), m_content);
    EXPECT_TRUE(m_resumes->entries().empty()) << "the entry was taken";
    EXPECT_FALSE(QFileInfo::exists(m_folder.file(QStringLiteral("CachedResumes/1.resume"))));
    EXPECT_TRUE(TempFiles().isEmpty());
}

// A receiver that dies mid-archive: its next start finds the partial archive by the note
// written before the bytes streamed, keeps it as a cached resume, and the same offer then
// resumes from it. Whatever the transfer itself did to the temporary folder, a crash would
// have left it as it stood in the middle.
TEST_F(ResumeFixture, ArchiveOfACrashedReceiverIsFoundAgainAndResumed)
{
    MakeOffer();
    const std::uint32_t cut = 90001;
    QMap<QString, QByteArray> leftBehind;
    {
        auto sender = Sender(m_request);
        auto transfer = Open(*sender);
        sender->Start(ScriptedSender::Stream(m_archive, false, cut));
        transfer->Accept(m_data.file(QStringLiteral("first-try.tar")));
        ASSERT_TRUE(WaitForState(*transfer, State::Interrupted));
        for (const QString& name : TempFiles())
            leftBehind.insert(name, ReadAll(m_folder.file(QStringLiteral("Temp/") + name)));
        transfer->DeleteData();
    }
    ASSERT_EQ(leftBehind.size(), 2);
    EXPECT_TRUE(TempFiles().isEmpty()) << "the note goes with the data";
    for (auto it = leftBehind.cbegin(); it != leftBehind.cend(); ++it) {
        QFile file(m_folder.file(QStringLiteral("Temp/") + it.key()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it->size());
    }

    // The next start.
    m_resumes->Load();
    ASSERT_TRUE(m_resumes->entries().empty());
    EXPECT_EQ(PartialRecords(m_folder).Recover(*m_resumes), 1);
    ASSERT_EQ(m_resumes->entries().size(), 1u);
    EXPECT_EQ(m_resumes->entries()[0].actualSize, cut);
    EXPECT_TRUE(TempFiles().isEmpty());

    auto sender = Sender(m_request);
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(m_archive, false));
    const QString target = m_data.file(QStringLiteral("album.tar"));
    transfer->Accept(target);
    ASSERT_EQ(transfer->state(), State::ResumeQuestion);
    transfer->Resume();
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    sender->Join();
    EXPECT_EQ(sender->replies.at(0).resumeOffset, cut);
    EXPECT_EQ(ReadAll(target), m_content);
    EXPECT_TRUE(TempFiles().isEmpty());
}

// The program ends under a running receive (a stop by signal): what arrived is kept as an
// interruption keeps it, the cached archive already in the saved list, and nothing is left
// in the temporary folder.
TEST_F(ResumeFixture, EndingTheProgramMidStreamKeepsWhatArrived)
{
    MakeOffer();
    for (const bool raw : {false, true}) {
        SCOPED_TRACE(raw ? "raw" : "archive");
        const QByteArray stream = raw ? m_content : m_archive;
        RequestHeader request = m_request;
        request.rawFlag = raw ? 1 : 0;
        constexpr std::uint32_t Sent = 50 * 1024;
        std::atomic<bool> release{false};
        auto sender = Sender(request);
        auto transfer = Open(*sender);
        sender->Start([&](TlsSession& session, ScriptedSender& self) {
            if (!self.ReadReply(session))
                return;
            DataHeader header;
            header.rawFlag = raw ? 1 : 0;
            header.streamSize = static_cast<std::uint32_t>(stream.size());
            if (!WriteDataHeader(session, header) ||
                session.Write(stream.constData(), int(Sent)) != int(Sent))
                return;
            while (!release) // the link stays up, silent
                QThread::msleep(5);
        });
        const QString target =
            m_data.file(raw ? QStringLiteral("raw.tar") : QStringLiteral("a.tar"));
        transfer->Accept(target);
        ASSERT_TRUE(WaitUntil([&] { return transfer->receivedBytes() >= Sent; }));
        ASSERT_EQ(transfer->state(), State::Receiving);

        transfer->KeepForExit();
        release = true;
        sender->Join();
        EXPECT_EQ(transfer->state(), State::Closed);
        EXPECT_EQ(transfer->outcome().reason, ReceiveReason::InterruptedByExit);
        EXPECT_TRUE(TempFiles().isEmpty());
        if (raw) {
            EXPECT_EQ(ReadAll(target), m_content.left(Sent));
            continue;
        }
        ResumeCache saved(m_folder);
        saved.Load();
        ASSERT_EQ(saved.entries().size(), 1u);
        EXPECT_EQ(saved.entries()[0].actualSize, Sent);
        EXPECT_EQ(ReadAll(saved.EntryFile(saved.entries()[0].id)), m_archive.left(Sent));
        m_resumes->DiscardAll();
    }
}

// A request not yet receiving ends with the program too, and says so: not as a cancel.
TEST_F(ResumeFixture, EndingTheProgramBeforeDataEndsTheRequestWithIt)
{
    MakeOffer();
    auto sender = Sender(m_request);
    auto transfer = Open(*sender);
    std::vector<ReceiveOutcome> endings;
    QObject::connect(transfer.get(), &ReceiveTransfer::ended, transfer.get(),
                     [&](const ReceiveOutcome& outcome) { endings.push_back(outcome); });
    sender->Start([](TlsSession& session, ScriptedSender& s) { s.ReadReply(session); });
    transfer->KeepForExit();
    sender->Join();
    ASSERT_EQ(endings.size(), 1u);
    EXPECT_EQ(endings.front().state, State::Closed);
    EXPECT_EQ(endings.front().reason, ReceiveReason::InterruptedByExit);
}

TEST_F(ResumeFixture, OverwriteDiscardsTheCachedEntryAndStartsAtZero)
{
    MakeOffer();
    BreakAndKeep(50000);
    auto sender = Sender(m_request);
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(m_archive, false));
    transfer->Accept(m_data.file(QStringLiteral("again.tar")));
    ASSERT_EQ(transfer->state(), State::ResumeQuestion);
    transfer->Overwrite();
    EXPECT_TRUE(m_resumes->entries().empty());
    EXPECT_FALSE(QFileInfo::exists(m_folder.file(QStringLiteral("CachedResumes/1.resume"))));
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    sender->Join();
    EXPECT_EQ(sender->replies.at(0).resumeOffset, 0u);
    EXPECT_EQ(ReadAll(m_data.file(QStringLiteral("again.tar"))), m_content);
}

// The resume cache may lose the matched entry at any time. Gone before the resume: the
// transfer starts afresh. Gone after the reply promised its bytes: the stream cannot be
// continued, which fails rather than producing a damaged file.
TEST_F(ResumeFixture, EntryDeletedBeforeResumeStartsAfresh)
{
    MakeOffer();
    const std::uint32_t id = BreakAndKeep(60000);
    auto sender = Sender(m_request);
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(m_archive, false));
    transfer->Accept(m_data.file(QStringLiteral("fresh.tar")));
    ASSERT_EQ(transfer->state(), State::ResumeQuestion);
    m_resumes->Discard(id); // the resumes window
    transfer->Resume();
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    sender->Join();
    EXPECT_EQ(sender->replies.at(0).resumeOffset, 0u);
    EXPECT_EQ(ReadAll(m_data.file(QStringLiteral("fresh.tar"))), m_content);
}

TEST_F(ResumeFixture, EntryDeletedAfterTheReplyFails)
{
    MakeOffer();
    const std::uint32_t id = BreakAndKeep(60000);
    auto sender = Sender(m_request);
    auto transfer = Open(*sender);
    std::atomic<bool> replied{false};
    std::atomic<bool> goOn{false};
    sender->Start([&](TlsSession& session, ScriptedSender& s) {
        const auto reply = s.ReadReply(session);
        replied = true;
        while (!goOn)
            QThread::msleep(1);
        if (!reply)
            return;
        DataHeader header;
        header.rawFlag = 0;
        header.streamSize = static_cast<std::uint32_t>(m_archive.size());
        WriteDataHeader(session, header);
        session.Write(m_archive.constData() + reply->resumeOffset, 1024);
    });
    const QString target = m_data.file(QStringLiteral("late.tar"));
    transfer->Accept(target);
    transfer->Resume();
    ASSERT_TRUE(WaitUntil([&] { return replied.load(); }));
    EXPECT_EQ(sender->replies.at(0).resumeOffset, 60000u);
    m_resumes->Discard(id);
    goOn = true;
    ASSERT_TRUE(WaitForState(*transfer, State::Closed));
    EXPECT_EQ(transfer->outcome().reason, ReceiveReason::PartialCopyGone);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(TempFiles().isEmpty());
}

// A raw file continues from the destination's own bytes.
TEST_F(ReceiveFixture, RawResumeContinuesTheExistingSmallerFile)
{
    const QByteArray bytes = Pattern(90000);
    const QString target = m_data.file(QStringLiteral("video.mp4"));
    m_data.write(QStringLiteral("video.mp4"), bytes.left(33333));
    auto sender = Sender(Request("video.mp4", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    std::uint32_t now = 1000;
    transfer->SetClock([&] { return now; });
    sender->Start(ScriptedSender::Stream(bytes, true));
    transfer->Accept(target);
    ASSERT_EQ(transfer->state(), State::ResumeQuestion);
    transfer->Resume();
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    sender->Join();
    EXPECT_EQ(sender->replies.at(0).resumeOffset, 33333u);
    EXPECT_EQ(sender->bytesSent, 90000u - 33333u);
    EXPECT_EQ(ReadAll(target), bytes);
}

// A destination as large as the offer is an old file, not a partial copy: no question.
TEST_F(ReceiveFixture, RawDestinationAsLargeAsTheOfferIsOverwritten)
{
    const QByteArray bytes = Pattern(5000);
    const QString target = m_data.file(QStringLiteral("same.bin"));
    m_data.write(QStringLiteral("same.bin"), Pattern(6000, 7));
    auto sender = Sender(Request("same.bin", 0, 1, 5000, 1));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(bytes, true));
    transfer->Accept(target);
    EXPECT_EQ(transfer->state(), State::WaitingForData);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    EXPECT_EQ(ReadAll(target), bytes);
}

// ---------------------------------------------------------------------------------------
// Auto-receive.

class AutoReceive : public ResumeFixture
{
protected:
    AutoReceiveMatch Rule()
    {
        QDir().mkpath(m_data.file(QStringLiteral("inbox")));
        return AutoReceiveMatch{m_data.file(QStringLiteral("inbox")), 0};
    }
};

TEST_F(AutoReceive, AcceptsIntoTheRuleFolderUnattended)
{
    const QByteArray bytes = Pattern(20000);
    QDir().mkpath(m_data.file(QStringLiteral("inbox")));
    auto sender = Sender(Request("photo.jpg", 0, 1, 20000, 1));
    auto transfer =
        Open(*sender, AutoReceiveMatch{m_data.file(QStringLiteral("inbox")) + QLatin1Char('/'), 7});
    EXPECT_TRUE(transfer->view().caption.startsWith(QStringLiteral("New File Auto-Receive from ")));
    EXPECT_EQ(transfer->bandLimit(), 7u); // the rule's limit: 14 KiB per two seconds
    std::atomic<std::uint32_t> now{0};
    transfer->SetClock([&] { return now.load(); });
    sender->Start(ScriptedSender::Stream(bytes, true));
    ASSERT_TRUE(WaitUntil([&] {
        now += 2000;
        transfer->ProgressTick();
        return transfer->state() == State::Completed;
    }));
    EXPECT_EQ(transfer->targetPath(), m_data.file(QStringLiteral("inbox/photo.jpg")));
    EXPECT_EQ(ReadAll(m_data.file(QStringLiteral("inbox/photo.jpg"))), bytes);
}

TEST_F(AutoReceive, BrokenTransferIsKeptAndLaterResumedUnattended)
{
    MakeOffer();
    const AutoReceiveMatch rule = Rule();
    {
        auto sender = Sender(m_request);
        auto transfer = Open(*sender, rule);
        sender->Start(ScriptedSender::Stream(m_archive, false, 45000));
        ASSERT_TRUE(WaitForState(*transfer, State::Closed));
        EXPECT_EQ(transfer->outcome().reason, ReceiveReason::ConnectionReset);
    }
    ASSERT_EQ(m_resumes->entries().size(), 1u);
    EXPECT_EQ(m_resumes->entries()[0].actualSize, 45000u);
    EXPECT_EQ(m_hub.resumesChanged, 1);

    auto sender = Sender(m_request);
    auto transfer = Open(*sender, rule);
    sender->Start(ScriptedSender::Stream(m_archive, false));
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    sender->Join();
    EXPECT_EQ(sender->replies.at(0).resumeOffset, 45000u);
    EXPECT_EQ(ReadAll(m_data.file(QStringLiteral("inbox/album.tar"))), m_content);
    EXPECT_TRUE(m_resumes->entries().empty());
}

// Whatever name the peer offers, an auto-received file lands inside the rule folder.
TEST_F(AutoReceive, HostileNameLandsInsideTheRuleFolder)
{
    const QByteArray bytes = Pattern(3000);
    auto sender = Sender(Request("../../escaped", 0, 1, 3000, 1));
    auto transfer = Open(*sender, Rule());
    sender->Start(ScriptedSender::Stream(bytes, true));
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    EXPECT_EQ(transfer->targetPath(), m_data.file(QStringLiteral("inbox/escaped")));
    EXPECT_EQ(ReadAll(m_data.file(QStringLiteral("inbox/escaped"))), bytes);
    EXPECT_FALSE(QFileInfo::exists(m_data.file(QStringLiteral("escaped"))));
}

} // namespace

} // namespace vantrel::test
