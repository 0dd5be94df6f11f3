// A single file whose archive holds it stored travels as an archive produced while it is
// sent. A receiver holding a prefix of that archive from an earlier attempt (written by the
// component, as older builds sent it) resumes wherever the cut fell and gets the whole file.
#include "core/transferhub.h"
#include "net/wirerecords.h"
#include "receive/resumecache.h"
#include "send/zipbridgeloader.h"
#include "stats/ratecounters.h"
#include "tests/engine/twocopies.h"
#include "tests/support/tempprofile.h"

#include <QFile>
#include <QFileInfo>

#include <ostream>

namespace vantrel::test {
namespace {

using RecvState = ReceiveTransfer::State;

constexpr qsizetype SourceSize = 300000;

struct Cut
{
    const char* name;
    // The cut's offset, from the archive's size and the length of the entry's name.
    qint64 (*offset)(qint64 archiveSize, qint64 nameLength);
};

void PrintTo(const Cut& c, std::ostream* out)
{
    *out << c.name;
}

// Local header 30 + name + 24 extra; descriptor 16; central record 46 + name + 24; end 22.
const Cut Cuts[] = {
    {"LocalHeader", [](qint64, qint64 name) { return 30 + name / 2; }},
    {"Data", [](qint64 size, qint64) { return size / 2; }},
    {"DataDescriptor", [](qint64 size, qint64 name) { return size - 22 - (46 + name + 24) - 9; }},
    {"CentralDirectory", [](qint64 size, qint64) { return size - 22 - 20; }},
    {"EndRecord", [](qint64 size, qint64) { return size - 5; }},
};

class StreamedArchiveResume : public TwoCopies, public ::testing::WithParamInterface<Cut>
{
};

TEST_P(StreamedArchiveResume, ContinuesFromACutInEveryRecordToAWholeCopy)
{
    const QString name = QStringLiteral("clip ü.mp4");
    const QString source = Source(name);
    WriteFile(source, RandomData(SourceSize, 7));

    // The archive as the component writes it, and the bob's cached prefix of it.
    const auto zip = ZipBridgeLoader::Load(BuildFolder());
    ASSERT_TRUE(zip);
    const QString written = Source(QStringLiteral("written.zip"));
    std::uint32_t progress = 0, unused = 0, cancel = 0;
    ASSERT_EQ(zip->ZipSingleFile(QFile::encodeName(written).constData(),
                                 QFile::encodeName(source).constData(), &progress, &unused,
                                 &cancel),
              0);
    QFile archive(written);
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
    const QByteArray whole = archive.readAll();
    const qint64 cut = GetParam().offset(whole.size(), name.toUtf8().size());

    RequestHeader request;
    request.fileName = name.toUtf8();
    request.fileCount = 1;
    request.totalSize = SourceSize;
    const std::uint32_t id = m_bob->resumes().Add(request);
    WriteFile(m_bob->resumes().EntryFile(id), whole.left(cut));
    ASSERT_TRUE(m_bob->resumes().Complete(id));

    QPointer<SendTransfer> send = m_alice->OpenSend(source, true);
    EngineCopy::SendTo(*send, *m_bob);
    QPointer<ReceiveTransfer> receive = m_bob->WaitForReceive(1);
    ASSERT_TRUE(receive);
    const QString target = Destination(name);
    receive->Accept(target);
    ASSERT_EQ(receive->state(), RecvState::ResumeQuestion);
    receive->Resume();
    ASSERT_TRUE(WaitForState(receive, RecvState::Completed)) << StatusOf(receive);
    ASSERT_TRUE(WaitForState(send, SendTransfer::State::Completed)) << StatusOf(send);

    EXPECT_EQ(TreeDifference(source, target), QString());
    EXPECT_EQ(receive->streamBytes(), static_cast<std::uint32_t>(whole.size()));
    // Only the bytes after the cut travelled, and no archive was written on the sending side.
    EXPECT_EQ(m_alice->counters().TakeAndReset().uploadBytes,
              static_cast<std::uint64_t>(whole.size() - cut));
    EXPECT_EQ(TempFiles(*m_alice), QStringList());
    EXPECT_EQ(send->view().compressionInfo, QStringLiteral("00% Efficiency"));
}

INSTANTIATE_TEST_SUITE_P(Records, StreamedArchiveResume, ::testing::ValuesIn(Cuts), CaseName());

} // namespace
} // namespace vantrel::test
