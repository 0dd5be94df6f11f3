#include "netutil/featurespage.h"
#include "tests/netutil/updateserverstub.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// What a page reported: the pages loaded, and the failures.
struct Reports
{
    explicit Reports(FeaturesPage& page)
    {
        QObject::connect(&page, &FeaturesPage::loaded,
                         [this](const QString& html) { loaded << html; });
        QObject::connect(&page, &FeaturesPage::failed, [this] { ++failed; });
    }
    QStringList loaded;
    int failed = 0;
};

ServerExchange::Timeouts ShortWaits()
{
    ServerExchange::Timeouts timeouts;
    timeouts.connect = 2000ms;
    timeouts.reply = 500ms;
    return timeouts;
}

TEST(FeaturesPageTest, OnlyPlainWebAddressesAreAskedFor)
{
    EXPECT_EQ(FeaturesPage::RequestFor(QStringLiteral("http://127.0.0.1:8080/new?lang=EN")),
              QByteArray("GET /new?lang=EN HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: "
                         "close\r\n\r\n"));
    EXPECT_EQ(FeaturesPage::RequestFor(QStringLiteral("http://127.0.0.1")),
              QByteArray("GET / HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
    for (const char* url : {"https://127.0.0.1/", "file:///etc/passwd", "", "not a url", "http://"})
        EXPECT_FALSE(FeaturesPage::RequestFor(QString::fromLatin1(url))) << url;
}

TEST(FeaturesPageTest, TheBodyOfASuccessfulReplyOnly)
{
    struct Case
    {
        const char* reply;
        std::optional<QByteArray> body;
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<b>new</b>", QByteArray("<b>new</b>")},
        {"HTTP/1.1 200 OK\n\nbare line feeds", QByteArray("bare line feeds")},
        {"HTTP/1.0 404 Not Found\r\n\r\nmissing", std::nullopt},
        {"VNTVersion=1.3 URL=x", std::nullopt},
        {"HTTP/1.0 200 OK\r\nno end of headers", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FeaturesPage::BodyOf(QByteArray(c.reply)), c.body) << c.reply;
}

TEST(FeaturesPageTest, LoadsThePageAndReportsFailures)
{
    test::UpdateServerStub server;
    server.SetReply("HTTP/1.0 200 OK\r\n\r\n<p>", "Faster transfers</p>", 50ms);
    FeaturesPage page(ShortWaits());
    Reports reports(page);

    page.Load(QStringLiteral("http://127.0.0.1:%1/features.html").arg(server.port()));
    ASSERT_TRUE(test::WaitUntil([&] { return reports.loaded.size() + reports.failed > 0; }));
    ASSERT_EQ(reports.loaded.size(), 1);
    EXPECT_EQ(reports.loaded.front(), QStringLiteral("<p>Faster transfers</p>"));
    EXPECT_TRUE(server.lastRequest().startsWith("GET /features.html HTTP/1.0\r\n"));

    // Neither a silent server nor another scheme keeps anything waiting.
    server.SetSilent();
    page.Load(QStringLiteral("http://127.0.0.1:%1/").arg(server.port()));
    ASSERT_TRUE(test::WaitUntil([&] { return reports.failed == 1; }));
    page.Load(QStringLiteral("ftp://127.0.0.1/"));
    ASSERT_TRUE(test::WaitUntil([&] { return reports.failed == 2; }));
    EXPECT_EQ(reports.loaded.size(), 1);
}

TEST(FeaturesPageTest, AStoppedLoadReportsNothingAndDoesNotWait)
{
    test::UpdateServerStub server;
    server.SetSilent();
    FeaturesPage page; // default waits: far longer than this test may take
    Reports reports(page);
    page.Load(QStringLiteral("http://127.0.0.1:%1/").arg(server.port()));
    test::WaitUntil([&] { return server.requests() > 0; }, 5000);
    const auto before = std::chrono::steady_clock::now();
    page.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    test::WaitUntil([] { return false; }, 100);
    EXPECT_EQ(reports.loaded.size() + reports.failed, 0);
}

} // namespace
} // namespace vantrel
