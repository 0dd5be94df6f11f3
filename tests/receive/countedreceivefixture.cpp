#include "tests/receive/countedreceivefixture.h"

#include "core/base/littleendian.h"
#include "core/base/ziprecords.h"

#include <QDir>
#include <QFileInfo>

namespace vantrel::test {

void CountedReceiveFixture::SetUp()
{
    ReceiveFixture::SetUp();
    m_counting = std::make_unique<CountingUnpacker>(m_services.unpacker);
    m_services.unpacker = m_counting.get();
}

QStringList CountedReceiveFixture::Leftovers() const
{
    QStringList names =
        QDir(m_data.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeIf([](const QString& name) { return !name.startsWith(QLatin1Char('.')); });
    return names;
}

CountedReceiveFixture::Run CountedReceiveFixture::Receive(const QByteArray& archive,
                                                          const QString& target,
                                                          std::optional<std::uint32_t> cutAt)
{
    Run run;
    run.sender = Sender(m_request);
    run.transfer = Open(*run.sender);
    run.sender->Start(ScriptedSender::Stream(archive, false, cutAt));
    run.transfer->Accept(target);
    return run;
}

void CountedReceiveFixture::BreakAndKeep(std::uint32_t cut)
{
    const QString first = m_data.file(QStringLiteral("first"));
    const Run run = Receive(m_archive, first, cut);
    ASSERT_TRUE(WaitForState(*run.transfer, ReceiveTransfer::State::Interrupted));
    EXPECT_TRUE(Leftovers().isEmpty()) << "the broken stream's staging is gone";
    EXPECT_FALSE(QFileInfo::exists(first));
    run.transfer->SaveForLaterResume();
    EXPECT_TRUE(Leftovers().isEmpty());
    ASSERT_EQ(m_resumes->entries().size(), 1u);
}

void CountedReceiveFixture::ResumeInto(const QString& target, std::uint32_t cut)
{
    const Run run = Receive(m_archive, target);
    ASSERT_EQ(run.transfer->state(), ReceiveTransfer::State::ResumeQuestion);
    run.transfer->Resume();
    ASSERT_TRUE(WaitForState(*run.transfer, ReceiveTransfer::State::Completed));
    run.sender->Join();
    ASSERT_EQ(run.sender->replies.size(), 1u);
    EXPECT_EQ(run.sender->replies[0].resumeOffset, cut);
}

qsizetype CentralDirectoryOffset(const QByteArray& archive)
{
    const auto* end = reinterpret_cast<const std::uint8_t*>(archive.constData()) + archive.size() -
                      ziprecords::EndSize;
    return littleendian::GetU32(end + 16);
}

} // namespace vantrel::test
