// The send side's words for what the secure channel and the data worker report.
#include "send/sendstatustexts.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using SecureChannel::ConnectFailure;
using SecureChannel::ConnectStep;

const QString Peer = QStringLiteral("10.0.0.7");
const QString Source = QStringLiteral("/data/a.zip");

TEST(SendStatusTexts, ConnectStatuses)
{
    const struct
    {
        ConnectStatus status;
        const char* subject;
        const char* text;
    } cases[] = {
        {ConnectStatus::Resolving, "", "Status: Resolving Hostname..."},
        {ConnectStatus::TlsUnavailable, "", "Status: Unable to initialize SSL Lib"},
        {ConnectStatus::Unresolved, "pc1", "Status: Unable to resolve Hostname 'pc1'"},
        {ConnectStatus::Connecting, "10.0.0.7", "Status: Connecting to 10.0.0.7"},
        {ConnectStatus::Awaiting, "", "Status: Awaiting confirmation by other side"},
        {ConnectStatus::ResetBeforeReply, "10.0.0.7",
         "Status: Connection reset by peer '10.0.0.7'"},
        {ConnectStatus::Confirmed, "Bob", "Status:Bob confirmed your request"},
        {ConnectStatus::OtherVersion, "", "Status: Other side has a different version of Vantrel"},
        {ConnectStatus::Refused, "Bob", "Status: Bob has refused your request"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SendStatusTexts::Connect(c.status, QString::fromLatin1(c.subject)),
                  QLatin1String(c.text));
}

TEST(SendStatusTexts, ConnectStepsAndFailures)
{
    EXPECT_EQ(SendStatusTexts::Step(ConnectStep::HandShaking, Peer),
              QStringLiteral("Status: SSL HandShake with '10.0.0.7'"));
    EXPECT_EQ(SendStatusTexts::Step(ConnectStep::Verified, Peer),
              QStringLiteral("Status: SSL HandShake and Certificate Verification passed"));
    const struct
    {
        ConnectFailure failure;
        const char* text;
    } cases[] = {
        {ConnectFailure::None, ""},
        {ConnectFailure::TrustList,
         "Status: Unable to load SSL Client Authorized Certificates List"},
        {ConnectFailure::Connect, "Status: Unable to connect to '10.0.0.7'"},
        {ConnectFailure::HandShake, "Status: SSL HandShake failed with '10.0.0.7'"},
        {ConnectFailure::Verification,
         "Status: SSL Certificate Verification failed with '10.0.0.7'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SendStatusTexts::Failure(c.failure, Peer), QLatin1String(c.text));
}

TEST(SendStatusTexts, DataStatuses)
{
    const struct
    {
        DataStatus status;
        const char* text;
    } cases[] = {
        {DataStatus::SendingHeader, "Status: Sending header to other side"},
        {DataStatus::SendingData, "Status: Sending data to other side"},
        {DataStatus::Completed, "Status: File Transfer Completed"},
        {DataStatus::ConnectionReset, "Status: Connection reset by peer"},
        {DataStatus::SourceUnopenable, "Status: Unable to open '/data/a.zip'"},
        {DataStatus::SourceUnreadable, "Status: Unable to read '/data/a.zip'"},
        {DataStatus::SourceShrank, "Status: '/data/a.zip' became shorter while it was sent"},
        {DataStatus::SourceChanged, "Status: '/data/a.zip' changed while it was sent"},
        {DataStatus::ResumeBeyondEnd,
         "Status: Other side asked to resume beyond the end of the data"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SendStatusTexts::Data(c.status, Source), QLatin1String(c.text)) << c.text;
    // A path is shown as it is, whatever it holds.
    EXPECT_EQ(SendStatusTexts::Data(DataStatus::SourceUnreadable, QStringLiteral("/x/%1 %2")),
              QStringLiteral("Status: Unable to read '/x/%1 %2'"));
}

// A notice's subject goes to the connect worker's statuses; the data worker's name the source.
TEST(SendStatusTexts, NoticeStatusesReachTheirWords)
{
    const struct
    {
        SendNotice::Status status;
        const char* text;
    } cases[] = {
        {ConnectStatus::Connecting, "Status: Connecting to 10.0.0.7"},
        {ConnectStep::HandShaking, "Status: SSL HandShake with '10.0.0.7'"},
        {ConnectFailure::HandShake, "Status: SSL HandShake failed with '10.0.0.7'"},
        {DataStatus::SourceUnopenable, "Status: Unable to open '/data/a.zip'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SendStatusTexts::Of(c.status, Peer, Source), QLatin1String(c.text)) << c.text;
}

} // namespace
} // namespace vantrel
