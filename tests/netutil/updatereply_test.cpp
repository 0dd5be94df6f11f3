#include "netutil/updatereply.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(UpdateReplyTest, VersionsAsTheTextToNumberConversionReadsThem)
{
    const std::vector<std::pair<QByteArray, double>> cases = {
        {"VNTVersion=1.3\n", 1.3}, {"VNTVersion=  1.25beta", 1.25},
        {"VNTVersion=+2", 2.0},    {"VNTVersion=abc", 0.0},
        {"VNTVersion=", 0.0},
    };
    for (const auto& [text, version] : cases) {
        SCOPED_TRACE(text.toStdString());
        const UpdateReply reply = UpdateReply::Parse(text);
        ASSERT_TRUE(reply.version);
        EXPECT_EQ(*reply.version, version);
    }
    EXPECT_FALSE(UpdateReply::Parse("Version=1.3").version);
}

TEST(UpdateReplyTest, FirstOccurrenceAndTokens)
{
    const UpdateReply reply =
        UpdateReply::Parse("URL=\thttp://one/ x\nURL=http://two/\nYourIP=1.2.3.4\r\n");
    EXPECT_EQ(reply.downloadUrl, QStringLiteral("http://one/"));
    EXPECT_EQ(reply.publicAddress, QStringLiteral("1.2.3.4"));
    EXPECT_FALSE(reply.featuresUrl);
    EXPECT_FALSE(reply.answered());
    EXPECT_EQ(UpdateReply::Parse("YourIP=").publicAddress, QString());
}

TEST(UpdateReplyTest, LongTokensAreCutAtACharacterBoundary)
{
    // 16 two-byte characters: 31 bytes hold 15 of them, never half of the 16th.
    const QString wide = QString(16, QChar(0x00e9));
    const UpdateReply reply =
        UpdateReply::Parse("YourIP=" + wide.toUtf8() + " URL=http://" + QByteArray(400, 'a'));
    EXPECT_EQ(reply.publicAddress, QString(15, QChar(0x00e9)));
    ASSERT_TRUE(reply.downloadUrl);
    EXPECT_EQ(reply.downloadUrl->size(), UpdateReply::MaxUrlBytes);
}

} // namespace
} // namespace vantrel
