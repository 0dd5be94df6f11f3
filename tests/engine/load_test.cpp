// Fifty transfers at once between two copies, accepted by an auto-receive rule: what ends
// whole is byte for byte the same, what was aborted is cleaned up or kept as its kind of
// abort says, memory stays bounded, and nothing (descriptor, thread, temporary file) is
// left over once all have ended.
#include "core/transferhub.h"
#include "receive/resumecache.h"
#include "stats/ratecounters.h"
#include "tests/engine/twocopies.h"
#include "tests/support/processfigures.h"
#include "tests/support/transferload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace vantrel::test {
namespace {

using Kind = TransferLoad::Kind;
using Ending = TransferLoad::Ending;
using Item = TransferLoad::Item;
using RecvState = ReceiveTransfer::State;
using SendState = SendTransfer::State;

constexpr int LoadTimeoutMs = 120000;
// Both copies together. A transfer buffers about 1 MiB (the sender's 512 KiB read chunk and
// 128 KiB TLS write buffer, the receiver's 256 KiB output buffer and 64 KiB TLS read
// buffer), fifty of them some 50 MiB with their threads, TLS sessions and compressors; the
// bound is well above that and well below the sources' total (checked below), so that a copy
// that held whole files in memory fails.
constexpr qint64 MemoryGrowthBoundKiB = 96 * 1024;
// The sanitizers' shadow memory and quarantine make resident memory say nothing about ours.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool MemoryIsOurs = false;
#else
constexpr bool MemoryIsOurs = true;
#endif

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const ResumeEntry* EntryFor(EngineCopy& copy, const Item& item)
{
    for (const ResumeEntry& entry : copy.resumes().entries()) {
        if (entry.fileName == item.name.toUtf8())
            return &entry;
    }
    return nullptr;
}

// Raw single files keep their partial copy in place; archives go to the resume cache.
bool KeptInPlace(const Item& item)
{
    return item.kind == Kind::RawFile;
}

bool Kept(const Item& item)
{
    return item.ending == Ending::SenderAborts || item.ending == Ending::ReceiverSaves;
}

class Load : public TwoCopies
{
protected:
    // The same offer once more, for every kept transfer: each resumes and ends whole.
    void ResumeKept(const TransferLoad& load)
    {
        m_bob->counters().TakeAndReset();
        std::vector<std::pair<const Item*, QPointer<SendTransfer>>> sends;
        const std::size_t before = m_bob->receives().size();
        for (const Item& item : load.items()) {
            if (Kept(item)) {
                QPointer<SendTransfer> send =
                    m_alice->OpenSend(item.source, item.kind != Kind::RawFile);
                EngineCopy::SendTo(*send, *m_bob);
                sends.emplace_back(&item, send);
            }
        }
        for (auto& [item, send] : sends) {
            ASSERT_TRUE(WaitForState(send, SendState::Completed))
                << item->name.toStdString() << ": " << StatusOf(send);
            send->Close();
        }
        ASSERT_TRUE(WaitUntil([&] { return m_bob->receives().size() == before + sends.size(); }));
        std::uint32_t streams = 0;
        for (std::size_t i = m_bob->receives().size() - sends.size(); i < m_bob->receives().size();
             ++i) {
            const QPointer<ReceiveTransfer> receive = m_bob->receives()[i];
            ASSERT_TRUE(WaitForState(receive, RecvState::Completed)) << StatusOf(receive);
            streams += receive->streamBytes();
            receive->Close();
        }
        for (const auto& [item, send] : sends)
            EXPECT_EQ(TreeDifference(item->source, load.Destination(*item)), QString());
        // Only what was missing travelled.
        EXPECT_LE(m_bob->counters().TakeAndReset().downloadBytes,
                  streams - sends.size() * TransferLoad::AbortAfterBytes);
        EXPECT_TRUE(m_bob->resumes().entries().empty());
        EXPECT_TRUE(QDir(m_bob->folder().cachedResumesFolder()).isEmpty());
    }
};

TEST_F(Load, FiftyTransfersAtOnceEndAsTheyShouldAndLeaveNothingBehind)
{
    TransferLoad load(m_alice.get(), m_bob.get(), m_data.file(QStringLiteral("load")));
    load.WriteSources();
    QString error;
    ASSERT_TRUE(load.AddRule(&error)) << error.toStdString();
    ASSERT_GT(load.totalBytes(), MemoryGrowthBoundKiB * 1024);

    // Everything the copies hold while idle, before the load.
    const int descriptors = ProcessFigures::Descriptors();
    const int threads = ProcessFigures::Threads();
    const bool peakReset = ProcessFigures::ResetPeak();
    const qint64 resident = ProcessFigures::ResidentKiB();
    ASSERT_GT(descriptors, 0);
    ASSERT_GT(threads, 0);

    ASSERT_TRUE(load.Run(LoadTimeoutMs, &error)) << error.toStdString();
    // The kernel's peak can lag behind; what Run saw on every pass counts too.
    const qint64 peak = std::max(peakReset ? ProcessFigures::PeakKiB() : 0, load.peakResidentKiB());

    for (const Item& item : load.items()) {
        SCOPED_TRACE(item.name.toStdString() + ": sender '" + item.sendStatus.toStdString() +
                     "', receiver '" + item.receiveStatus.toStdString() + "'");
        const QString target = load.Destination(item);
        ASSERT_TRUE(item.receive || item.receiveClosed) << "no request arrived";
        switch (item.ending) {
        case Ending::Completes:
            EXPECT_EQ(item.sendEnd, SendState::Completed);
            EXPECT_EQ(item.receiveEnd, RecvState::Completed);
            EXPECT_EQ(TreeDifference(item.source, target), QString());
            break;
        case Ending::SenderAborts:
            EXPECT_TRUE(item.aborted);
            EXPECT_EQ(item.sendEnd, SendState::Streaming);
            EXPECT_EQ(item.receiveEnd, RecvState::Interrupted);
            EXPECT_EQ(item.receiveReason, ReceiveReason::ConnectionReset);
            break;
        case Ending::ReceiverDeletes:
        case Ending::ReceiverSaves:
            EXPECT_TRUE(item.aborted);
            EXPECT_EQ(item.sendEnd, SendState::Broken);
            EXPECT_EQ(item.sendReason, SendReason::ConnectionReset);
            EXPECT_EQ(item.receiveEnd, RecvState::Interrupted);
            EXPECT_EQ(item.receiveReason, ReceiveReason::Cancelled);
            break;
        }
        if (item.ending == Ending::Completes)
            continue;
        const ResumeEntry* entry = EntryFor(*m_bob, item);
        if (Kept(item) && KeptInPlace(item)) {
            // The partial file, where the whole one will be, and a true beginning of it.
            const QByteArray partial = Read(target);
            EXPECT_GE(partial.size(), TransferLoad::AbortAfterBytes);
            EXPECT_LT(partial.size(), QFileInfo(item.source).size());
            EXPECT_TRUE(Read(item.source).startsWith(partial));
            EXPECT_EQ(entry, nullptr);
        } else if (Kept(item)) {
            ASSERT_NE(entry, nullptr);
            const QString file =
                m_bob->folder().cachedResumesFolder() + QStringLiteral("/%1.resume").arg(entry->id);
            EXPECT_GE(QFileInfo(file).size(), TransferLoad::AbortAfterBytes);
            EXPECT_FALSE(QFileInfo::exists(target));
        } else {
            EXPECT_EQ(entry, nullptr);
            EXPECT_FALSE(QFileInfo::exists(target));
        }
    }
    const auto cached =
        std::count_if(load.items().begin(), load.items().end(),
                      [](const Item& item) { return Kept(item) && !KeptInPlace(item); });
    EXPECT_EQ(m_bob->resumes().entries().size(), static_cast<std::size_t>(cached));
    EXPECT_EQ(QDir(m_bob->folder().cachedResumesFolder()).entryList(QDir::Files).size(), cached);
    EXPECT_EQ(TempFiles(*m_alice), QStringList());
    EXPECT_EQ(TempFiles(*m_bob), QStringList());
    EXPECT_TRUE(m_alice->resumes().entries().empty());

    // Workers end and sockets close a moment after their transfers do.
    EXPECT_TRUE(WaitUntil([&] { return ProcessFigures::Descriptors() <= descriptors; }))
        << ProcessFigures::Descriptors() << " descriptors open, " << descriptors << " before";
    EXPECT_TRUE(WaitUntil([&] { return ProcessFigures::Threads() <= threads; }))
        << ProcessFigures::Threads() << " threads, " << threads << " before";
    const qint64 growth = peak - resident;
    if (MemoryIsOurs) {
        EXPECT_LT(growth, MemoryGrowthBoundKiB) << "peak " << peak << " KiB";
    }
    RecordProperty("PeakGrowthKiB", static_cast<int>(growth));
    RecordProperty("PeakDescriptors", load.peakDescriptors());
    RecordProperty("PeakThreads", load.peakThreads());

    ResumeKept(load);
}

} // namespace
} // namespace vantrel::test
