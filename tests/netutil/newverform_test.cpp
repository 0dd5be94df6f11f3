#include "netutil/newverform.h"

#include "netutil/featurespage.h"
#include "tests/netutil/updateserverstub.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include <chrono>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

class TNewVerQueryTest : public ::testing::Test
{
protected:
    QString Text(const char* name) const
    {
        return m_form.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    QPushButton* Button(const char* name) const
    {
        return m_form.findChild<QPushButton*>(QString::fromLatin1(name));
    }

    test::ScriptedDialogs m_dialogs;
    FeaturesPage m_page{[] {
        ServerExchange::Timeouts timeouts;
        timeouts.reply = 1000ms;
        return timeouts;
    }()};
    TNewVerQuery m_form{m_dialogs, m_page};
};

TEST_F(TNewVerQueryTest, ShowsTheVersionAndAddressAndOpensItOnlyOnYes)
{
    EXPECT_EQ(m_form.windowTitle(), QStringLiteral("New Version Dectected"));
    m_form.ShowNewVersion(1.1, QStringLiteral("http://127.0.0.1/vantrel-1.1.deb"), QString());
    ASSERT_TRUE(m_form.isVisible());
    EXPECT_TRUE(m_form.isModal());
    EXPECT_EQ(Text("VersionLabel"), QStringLiteral("Vantrel v1.10"));
    EXPECT_TRUE(
        Text("DownloadAddress").contains(QStringLiteral("http://127.0.0.1/vantrel-1.1.deb")));
    EXPECT_TRUE(m_form.pageView()->toPlainText().isEmpty()); // no features address

    QTest::mouseClick(Button("NoBtn"), Qt::LeftButton);
    EXPECT_FALSE(m_form.isVisible());
    EXPECT_TRUE(m_dialogs.opened.empty());

    m_form.ShowNewVersion(1.3, QStringLiteral("http://127.0.0.1/vantrel-1.3.deb"), QString());
    EXPECT_EQ(Text("VersionLabel"), QStringLiteral("Vantrel v1.30"));
    QTest::mouseClick(Button("YesBtn"), Qt::LeftButton);
    EXPECT_FALSE(m_form.isVisible());
    ASSERT_EQ(m_dialogs.opened.size(), 1u);
    EXPECT_EQ(m_dialogs.opened.front(), QUrl(QStringLiteral("http://127.0.0.1/vantrel-1.3.deb")));
}

TEST_F(TNewVerQueryTest, AnAddressThatIsNoWebAddressIsNeverOpened)
{
    for (const char* url : {"file:///usr/bin/xterm", "javascript:alert(1)", ""}) {
        m_form.ShowNewVersion(1.3, QString::fromLatin1(url), QString());
        EXPECT_FALSE(Button("YesBtn")->isEnabled()) << url;
    }
    m_form.ShowNewVersion(1.3, QStringLiteral("https://127.0.0.1/v.deb"), QString());
    EXPECT_TRUE(Button("YesBtn")->isEnabled());
}

TEST_F(TNewVerQueryTest, LoadsTheFeaturesPageEachTimeItIsShown)
{
    test::UpdateServerStub server;
    server.SetReply("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                    "<h1>Vantrel 1.3</h1><img src=\"file:///etc/hostname\"><p>Resumes faster</p>");
    const QString features = QStringLiteral("http://127.0.0.1:%1/new.html").arg(server.port());
    m_form.ShowNewVersion(1.3, QStringLiteral("http://127.0.0.1/v.deb"), features);
    ASSERT_TRUE(test::WaitUntil([&] {
        return m_form.pageView()->toPlainText().contains(QStringLiteral("Resumes faster"));
    }));
    EXPECT_EQ(server.requests(), 1);

    m_form.hide();
    m_form.ShowNewVersion(1.3, QStringLiteral("http://127.0.0.1/v.deb"), features);
    ASSERT_TRUE(test::WaitUntil([&] { return server.requests() == 2; }));

    // A page that cannot be had leaves the area empty.
    server.SetReply("HTTP/1.0 404 Not Found\r\n\r\ngone");
    m_form.hide();
    m_form.ShowNewVersion(1.3, QStringLiteral("http://127.0.0.1/v.deb"), features);
    ASSERT_TRUE(test::WaitUntil([&] { return server.requests() == 3; }));
    test::WaitUntil([] { return false; }, 200);
    EXPECT_TRUE(m_form.pageView()->toPlainText().isEmpty());
}

} // namespace
} // namespace vantrel
