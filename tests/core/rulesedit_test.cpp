#include "core/rulesedit.h"

#include "receive/autoreceiverules.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace vantrel {
namespace {

RulesRequest Add(const QString& host, const QString& folder, const QString& limit)
{
    RulesRequest request;
    request.kind = RulesRequest::Kind::Add;
    request.host = host;
    request.saveFolder = folder;
    request.bandLimit = limit;
    return request;
}

RulesRequest Remove(qint64 number)
{
    RulesRequest request;
    request.kind = RulesRequest::Kind::Remove;
    request.number = number;
    return request;
}

// The rules file of a profile no copy runs: each step's reply, and what the file holds after.
TEST(RulesEditTest, ListsAndEditsTheFileWithTheChecksOfTheRulesWindow)
{
    test::TempFolder temp;
    ASSERT_TRUE(QDir(temp.path()).mkdir(QStringLiteral("in")));
    const QString in = temp.file(QStringLiteral("in"));
    const QString file = temp.file(QStringLiteral("program/autorec.vnt"));
    struct Step
    {
        RulesRequest request;
        int exitCode;
        QString output; // contained in the reply's output
        QString errors; // contained in the reply's errors
        int rulesAfter;
    };
    const Step steps[] = {
        {RulesRequest{}, 0, {}, QStringLiteral("no auto-receive rules"), 0},
        {Add(QStringLiteral("peer"), in + QLatin1Char('/'), QStringLiteral("0")),
         0,
         QStringLiteral("Added rule 1\tenabled\tpeer\t") + in + QStringLiteral("\tNo Limit\n"),
         {},
         1},
        {Add(QStringLiteral("10.0.0.2"), in, QStringLiteral("250")),
         0,
         QStringLiteral("Added rule 2\tenabled\t10.0.0.2\t") + in + QStringLiteral("\t250 Kb/sec"),
         {},
         2},
        {Add(QString(), in, QStringLiteral("0")),
         1,
         {},
         QStringLiteral("You should enter a Hostname or IP Address!"),
         2},
        {Add(QStringLiteral("peer"), QString(), QStringLiteral("0")),
         1,
         {},
         QStringLiteral("You should enter a Save Directory!"),
         2},
        {Add(QStringLiteral("peer"), temp.file(QStringLiteral("missing")), QStringLiteral("0")),
         1,
         {},
         QStringLiteral("You must provide a valid Save Directory!"),
         2},
        {RulesRequest{},
         0,
         QStringLiteral("1\tenabled\tpeer\t") + in +
             QStringLiteral("\tNo Limit\n2\tenabled\t10.0.0.2"),
         {},
         2},
        {Remove(3), 1, {}, QStringLiteral("there is no rule 3; there are 2 rules."), 2},
        {Remove(1),
         0,
         QStringLiteral("Removed rule 1\tenabled\tpeer\t") + in + QStringLiteral("\tNo Limit\n"),
         {},
         1},
        {RulesRequest{}, 0, QStringLiteral("1\tenabled\t10.0.0.2\t"), {}, 1},
    };
    int index = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(index++);
        const RulesReply reply = rulesedit::ApplyToFile(step.request, file);
        EXPECT_EQ(reply.exitCode, step.exitCode);
        EXPECT_TRUE(reply.output.contains(step.output)) << reply.output.toStdString();
        EXPECT_TRUE(reply.errors.contains(step.errors)) << reply.errors.toStdString();
        EXPECT_EQ(reply.output.isEmpty(), step.output.isEmpty());
        EXPECT_EQ(reply.errors.isEmpty(), step.errors.isEmpty());
        AutoReceiveRules stored;
        stored.Load(file);
        EXPECT_EQ(int(stored.rules().size()), step.rulesAfter);
    }
    // The rule that stayed is the one with the limit, and it matches its peer.
    AutoReceiveRules stored;
    stored.Load(file);
    const std::optional<AutoReceiveMatch> match =
        stored.MatchAutoReceive(QStringLiteral("10.0.0.2"), std::nullopt);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->bandLimit, 250u);
}

TEST(RulesEditTest, ListingAMissingFileCreatesNothing)
{
    test::TempFolder temp;
    const QString file = temp.file(QStringLiteral("program/autorec.vnt"));
    EXPECT_EQ(rulesedit::ApplyToFile(RulesRequest{}, file).exitCode, 0);
    EXPECT_EQ(rulesedit::ApplyToFile(Remove(1), file).exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST(RulesEditTest, RequestsAndRepliesSurviveTheirEncodingAndNothingElseDecodes)
{
    const RulesRequest request =
        Add(QStringLiteral("h\u00f6st"), QStringLiteral("/srv/\u00e4 b"), QStringLiteral("12"));
    const std::optional<RulesRequest> decoded = RulesRequest::Decode(request.Encode());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->kind, request.kind);
    EXPECT_EQ(decoded->host, request.host);
    EXPECT_EQ(decoded->saveFolder, request.saveFolder);
    EXPECT_EQ(decoded->bandLimit, request.bandLimit);
    EXPECT_EQ(RulesRequest::Decode(Remove(7).Encode())->number, 7);

    const RulesReply reply{3, QStringLiteral("out"), QStringLiteral("err")};
    const std::optional<RulesReply> back = RulesReply::Decode(reply.Encode());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->exitCode, 3);
    EXPECT_EQ(back->output, reply.output);
    EXPECT_EQ(back->errors, reply.errors);

    for (const QByteArray& bytes :
         {QByteArray(), QByteArray("junk"), request.Encode().chopped(1), request.Encode() + 'x'}) {
        EXPECT_FALSE(RulesRequest::Decode(bytes)) << bytes.toHex().constData();
    }
    QByteArray unknownKind = request.Encode();
    unknownKind[3] = 9; // the kind, big-endian
    EXPECT_FALSE(RulesRequest::Decode(unknownKind));

    // A request the running copy cannot read is answered, not dropped.
    AutoReceiveRules rules;
    const std::optional<RulesReply> answered =
        RulesReply::Decode(rulesedit::Answer(rules, "junk", QStringLiteral("/nonexistent/x")));
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->exitCode, 1);
}

} // namespace
} // namespace vantrel
