#include "net/wirerecords.h"
#include "tests/net/loopback.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace vantrel::test {
namespace {

// Golden images are put together here byte by byte from the record layouts, independently
// of the encoder under test.
using Bytes = std::vector<std::uint8_t>;

void Le32(Bytes& image, int offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

void Text(Bytes& image, int offset, const char* text)
{
    std::memcpy(image.data() + offset, text, std::strlen(text));
}

template <std::size_t N> Bytes ToBytes(const std::array<std::uint8_t, N>& a)
{
    return Bytes(a.begin(), a.end());
}

TEST(RequestHeader, EncodesAtTheFixedOffsetsLittleEndian)
{
    Bytes golden(572, 0);
    Le32(golden, 0, 0);                  // kind TransferRequest
    golden[4] = 0x01;                    // versionA 1
    golden[6] = 0x04;                    // versionB 4
    Text(golden, 8, "Alice");            // nickName
    Text(golden, 40, "holiday photos");  // fileName
    Text(golden, 296, "the whole week"); // comment
    Le32(golden, 552, 3);                // dirCount
    Le32(golden, 556, 0x0102);           // fileCount
    Le32(golden, 560, 0x89ABCDEF);       // totalSize
    Le32(golden, 564, 12666);            // senderPort
    Le32(golden, 568, 1);                // rawFlag

    RequestHeader h;
    h.nickName = "Alice";
    h.fileName = "holiday photos";
    h.comment = "the whole week";
    h.dirCount = 3;
    h.fileCount = 0x0102;
    h.totalSize = 0x89ABCDEF;
    h.senderPort = 12666;
    h.rawFlag = 1;
    EXPECT_EQ(ToBytes(h.Encode()), golden);

    const RequestHeader d = RequestHeader::Decode(golden.data());
    EXPECT_EQ(d.kind, 0);
    EXPECT_EQ(d.versionA, 1);
    EXPECT_EQ(d.versionB, 4);
    EXPECT_EQ(d.nickName, QByteArray("Alice"));
    EXPECT_EQ(d.fileName, QByteArray("holiday photos"));
    EXPECT_EQ(d.comment, QByteArray("the whole week"));
    EXPECT_EQ(d.dirCount, 3u);
    EXPECT_EQ(d.fileCount, 0x0102u);
    EXPECT_EQ(d.totalSize, 0x89ABCDEFu);
    EXPECT_EQ(d.senderPort, 12666);
    EXPECT_EQ(d.rawFlag, 1);
    EXPECT_TRUE(d.VersionMatches());
    EXPECT_FALSE(d.IsTunnelRegistration());
}

TEST(RequestHeader, TunnelRegistrationAndNegativeFieldsRoundTrip)
{
    RequestHeader h;
    h.kind = static_cast<std::int32_t>(MessageKind::TunnelRegistration);
    h.nickName = "Bob";
    h.senderPort = -2; // signed fields keep their sign
    const auto image = h.Encode();
    EXPECT_EQ(image[0], 3);
    EXPECT_EQ(image[564], 0xFE);
    EXPECT_EQ(image[567], 0xFF);
    const RequestHeader d = RequestHeader::Decode(image.data());
    EXPECT_TRUE(d.IsTunnelRegistration());
    EXPECT_EQ(d.senderPort, -2);
    EXPECT_EQ(d.nickName, QByteArray("Bob"));
}

TEST(RequestHeader, VersionCheckWantsExactlyOneAndFour)
{
    const struct
    {
        std::uint8_t bytes[4];
        bool matches;
    } cases[] = {{{1, 0, 4, 0}, true},  {{1, 0, 3, 0}, false}, {{2, 0, 4, 0}, false},
                 {{4, 0, 1, 0}, false}, {{0, 0, 0, 0}, false}, {{1, 1, 4, 0}, false}};
    for (const auto& c : cases) {
        Bytes image(572, 0);
        std::memcpy(image.data() + 4, c.bytes, 4);
        EXPECT_EQ(RequestHeader::Decode(image.data()).VersionMatches(), c.matches)
            << int(c.bytes[0]) << "," << int(c.bytes[1]) << "," << int(c.bytes[2]) << ","
            << int(c.bytes[3]);
    }
}

TEST(RequestHeader, UnterminatedTextStopsAtTheFieldsEnd)
{
    // Every text field full to the brim with no NUL: each is read to its own end and
    // never into the next field.
    Bytes image(572, 0);
    std::memset(image.data() + 8, 'N', 32);
    std::memset(image.data() + 40, 'F', 256);
    std::memset(image.data() + 296, 'C', 256);
    Le32(image, 552, 0x43434343); // more 'C's after the comment
    const RequestHeader d = RequestHeader::Decode(image.data());
    EXPECT_EQ(d.nickName, QByteArray(32, 'N'));
    EXPECT_EQ(d.fileName, QByteArray(256, 'F'));
    EXPECT_EQ(d.comment, QByteArray(256, 'C'));

    // Bytes after a NUL are ignored.
    image[8] = 'A';
    image[9] = 'l';
    image[10] = 0;
    EXPECT_EQ(RequestHeader::Decode(image.data()).nickName, QByteArray("Al"));
}

TEST(RequestHeader, WritersCutNickNameAndCommentButNeverTheFileName)
{
    const QByteArray nick31(31, 'n');
    const QByteArray euro = "\xE2\x82\xAC"; // three bytes
    RequestHeader h;
    h.nickName = nick31 + 'x';               // 32nd byte never travels
    h.comment = QByteArray(254, 'c') + euro; // the euro would straddle byte 255
    h.fileName = QByteArray(255, 'f');       // fits whole
    auto image = h.Encode();
    EXPECT_EQ(image[39], 0);
    EXPECT_EQ(image[551], 0);
    RequestHeader d = RequestHeader::Decode(image.data());
    EXPECT_EQ(d.nickName, nick31);
    EXPECT_EQ(d.comment, QByteArray(254, 'c'));
    EXPECT_EQ(d.fileName, QByteArray(255, 'f'));

    h.nickName = nick31;
    h.comment = QByteArray(300, 'c');
    d = RequestHeader::Decode(h.Encode().data());
    EXPECT_EQ(d.nickName, nick31);
    EXPECT_EQ(d.comment, QByteArray(255, 'c'));

    // A name one byte too long is not cut into another name: the field stays empty.
    h.fileName = QByteArray(256, 'f');
    EXPECT_FALSE(FitsFileName(h.fileName));
    EXPECT_TRUE(FitsFileName(QByteArray(255, 'f')));
    image = h.Encode();
    EXPECT_TRUE(
        std::all_of(image.begin() + 40, image.begin() + 296, [](auto b) { return b == 0; }));
}

struct ReplyForm
{
    const char* name;
    ReplyHeader reply;
    std::uint32_t accepted;
    std::uint32_t reason;
    std::uint32_t resumeOffset;
    const char* comment;
    bool isAccepted;
    bool isVersionMismatch;
};

TEST(ReplyHeader, FourFormsEncodeAtTheFixedOffsets)
{
    const ReplyForm forms[] = {
        {"accept", ReplyHeader::Accept("Carol"), 1, 0, 0, "", true, false},
        {"resume", ReplyHeader::Resume("Carol", 0x00ABCDEF), 1, 0, 0x00ABCDEF, "", true, false},
        {"refuse", ReplyHeader::Refuse("Carol", "not now, thanks"), 0, 2, 0, "not now, thanks",
         false, false},
        {"version mismatch", ReplyHeader::VersionMismatch("Carol"), 0, 1, 0, "", false, true},
    };
    for (const ReplyForm& f : forms) {
        SCOPED_TRACE(f.name);
        Bytes golden(304, 0);
        Le32(golden, 0, 1); // kind Reply
        Le32(golden, 4, f.accepted);
        Le32(golden, 8, f.reason);
        Le32(golden, 12, f.resumeOffset);
        Text(golden, 16, "Carol");
        Text(golden, 48, f.comment);
        EXPECT_EQ(ToBytes(f.reply.Encode()), golden);

        const ReplyHeader d = ReplyHeader::Decode(golden.data(), 304);
        EXPECT_EQ(d.IsAccepted(), f.isAccepted);
        EXPECT_EQ(d.IsVersionMismatch(), f.isVersionMismatch);
        EXPECT_EQ(d.resumeOffset, f.resumeOffset);
        EXPECT_EQ(d.nickName, QByteArray("Carol"));
        EXPECT_EQ(d.comment, QByteArray(f.comment));
    }
}

TEST(ReplyHeader, CutsTextsAndReadsMissingBytesAsZero)
{
    const ReplyHeader refusal = ReplyHeader::Refuse(QByteArray(40, 'n'), QByteArray(400, 'c'));
    const auto image = refusal.Encode();
    EXPECT_EQ(image[47], 0);
    EXPECT_EQ(image[303], 0);
    const ReplyHeader whole = ReplyHeader::Decode(image.data(), 304);
    EXPECT_EQ(whole.nickName, QByteArray(31, 'n'));
    EXPECT_EQ(whole.comment, QByteArray(255, 'c'));

    // Only kind, accepted and reason arrived, and a few bytes of the nick name.
    const ReplyHeader partial = ReplyHeader::Decode(image.data(), 20);
    EXPECT_EQ(partial.kind, 1);
    EXPECT_FALSE(partial.IsAccepted());
    EXPECT_EQ(partial.reason, 2);
    EXPECT_EQ(partial.nickName, QByteArray(4, 'n'));
    EXPECT_TRUE(partial.comment.isEmpty());

    const ReplyHeader nothing = ReplyHeader::Decode(image.data(), 0);
    EXPECT_EQ(nothing.kind, 0);
    EXPECT_EQ(nothing.reason, 0);
    EXPECT_TRUE(nothing.nickName.isEmpty());
}

TEST(DataHeader, EncodesAtTheFixedOffsets)
{
    const Bytes golden = {0x02, 0, 0, 0, 0x01, 0, 0, 0, 0xEF, 0xBE, 0xAD, 0xDE};
    DataHeader h;
    h.rawFlag = 1;
    h.streamSize = 0xDEADBEEF;
    EXPECT_EQ(ToBytes(h.Encode()), golden);
    const DataHeader d = DataHeader::Decode(golden.data());
    EXPECT_EQ(d.kind, 2);
    EXPECT_TRUE(d.IsRaw());
    EXPECT_EQ(d.streamSize, 0xDEADBEEFu);

    // Only 1 means raw.
    for (std::int32_t flag : {0, 2, -1}) {
        h.rawFlag = flag;
        EXPECT_FALSE(DataHeader::Decode(h.Encode().data()).IsRaw()) << flag;
    }
}

// Records over a real session.
class RecordExchange : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testcertificates::WriteProfileCertificates(m_folder.path()));
        m_pair = ConnectPair(m_folder.path());
        ASSERT_TRUE(m_pair.client && m_pair.server);
        SetReadDeadline(*m_pair.client, 10000);
        SetReadDeadline(*m_pair.server, 10000);
    }
    // The client writes these pieces, one write each, then closes.
    void ClientSendsAndCloses(const QList<QByteArray>& pieces)
    {
        for (const QByteArray& piece : pieces)
            ASSERT_EQ(m_pair.client->Write(piece.constData(), static_cast<int>(piece.size())),
                      piece.size());
        m_pair.client->Close();
    }

    TempFolder m_folder;
    SessionPair m_pair;
};

TEST_F(RecordExchange, WholeConversationRoundTrips)
{
    RequestHeader request;
    request.nickName = "Dave";
    request.fileName = "report.pdf";
    request.comment = "final";
    request.fileCount = 1;
    request.totalSize = 123456;
    request.senderPort = 12666;
    ASSERT_TRUE(WriteRequest(*m_pair.client, request));
    const auto gotRequest = ReadRequest(*m_pair.server);
    ASSERT_TRUE(gotRequest);
    EXPECT_EQ(gotRequest->Encode(), request.Encode());

    ASSERT_TRUE(WriteReply(*m_pair.server, ReplyHeader::Resume("Erin", 4096)));
    const auto reply = ReadReply(*m_pair.client);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->IsAccepted());
    EXPECT_EQ(reply->resumeOffset, 4096u);
    EXPECT_EQ(reply->nickName, QByteArray("Erin"));

    DataHeader data;
    data.rawFlag = 1;
    data.streamSize = 123456;
    ASSERT_TRUE(WriteDataHeader(*m_pair.client, data));
    const auto gotData = ReadDataHeader(*m_pair.server);
    ASSERT_TRUE(gotData);
    EXPECT_EQ(gotData->Encode(), data.Encode());
}

TEST_F(RecordExchange, RecordArrivingInPiecesIsCollected)
{
    RequestHeader request;
    request.nickName = "Frank";
    const auto image = request.Encode();
    const QByteArray bytes(reinterpret_cast<const char*>(image.data()), image.size());
    ClientSendsAndCloses({bytes.left(100), bytes.mid(100, 1), bytes.mid(101)});
    const auto got = ReadRequest(*m_pair.server);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->nickName, QByteArray("Frank"));
}

TEST_F(RecordExchange, ShortRequestIsAFailure)
{
    ClientSendsAndCloses({QByteArray(100, '\x01')});
    EXPECT_FALSE(ReadRequest(*m_pair.server));
}

TEST_F(RecordExchange, ShortDataHeaderIsAFailure)
{
    ClientSendsAndCloses({QByteArray(11, '\x02')});
    EXPECT_FALSE(ReadDataHeader(*m_pair.server));
}

TEST_F(RecordExchange, ReplyCutShortStillReadsAndNoReplyReadsAsNothing)
{
    const auto image = ReplyHeader::Accept("Grace").Encode();
    ClientSendsAndCloses({QByteArray(reinterpret_cast<const char*>(image.data()), 18)});
    const auto partial = ReadReply(*m_pair.server);
    ASSERT_TRUE(partial);
    EXPECT_TRUE(partial->IsAccepted());
    EXPECT_EQ(partial->nickName, QByteArray("Gr"));
    EXPECT_FALSE(ReadReply(*m_pair.server)); // closed: nothing more arrives
}

TEST_F(RecordExchange, RequestWithAnOverlongFileNameIsNotWritten)
{
    RequestHeader tooLong;
    tooLong.fileName = QByteArray(256, 'f');
    EXPECT_FALSE(WriteRequest(*m_pair.client, tooLong));
    RequestHeader fine;
    fine.fileName = "fine";
    ASSERT_TRUE(WriteRequest(*m_pair.client, fine));
    const auto got = ReadRequest(*m_pair.server); // the first bytes on the wire are this one's
    ASSERT_TRUE(got);
    EXPECT_EQ(got->fileName, QByteArray("fine"));
}

TEST_F(RecordExchange, WritesToAClosedSessionFail)
{
    m_pair.client->Close();
    EXPECT_FALSE(WriteReply(*m_pair.client, ReplyHeader::Accept("x")));
    EXPECT_FALSE(WriteDataHeader(*m_pair.client, DataHeader{}));
}

} // namespace
} // namespace vantrel::test
