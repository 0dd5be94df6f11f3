#include "tunnel/newtununit.h"

#include "core/transferhub.h"
#include "tests/engine/rawpeer.h"
#include "tests/support/enginecopy.h"
#include "tests/support/tempprofile.h"
#include "tunnel/tunnellist.h"
#include "tunnel/tunnelopener.h"
#include "widgets/statusline.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace vantrel::test {
namespace {

using namespace Qt::StringLiterals;

const QStringList Recent{u"pc1:9000 (Bob)"_s, u"10.0.0.7"_s};

// The window over a real opener of a running copy, which opens tunnels to a second copy.
class TNewTunnelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bob.ok() && m_alice.ok());
        ASSERT_TRUE(EngineCopy::TrustEachOther(m_alice, m_bob));
        m_form = new TNewTunnel(m_opener, Recent);
        m_form->setAttribute(Qt::WA_DeleteOnClose);
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form));
    }
    void TearDown() override { delete m_form; }

    template <typename T> T* Child(const char* name)
    {
        T* child = m_form ? m_form->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QComboBox* Host() { return Child<QComboBox>("HostCBox"); }
    QPushButton* OpenButton() { return Child<QPushButton>("SendBtn"); }
    StatusLine* Status() { return Child<StatusLine>("StatusBar"); }
    void Type(const QString& text) { Host()->setEditText(text); }

    EngineCopy m_alice{QByteArrayLiteral("Alice")};
    EngineCopy m_bob{QByteArrayLiteral("Bob")};
    TunnelOpener m_opener{m_bob.hub().services(), m_bob.hub().tunnels()};
    QPointer<TNewTunnel> m_form;
};

TEST_F(TNewTunnelTest, StartsIdleWithTheRecentHostsAndOpenAsDefault)
{
    EXPECT_EQ(m_form->windowTitle(), u"Open New Receive Tunnel"_s);
    EXPECT_TRUE(m_form->windowFlags() & Qt::Tool);
    EXPECT_TRUE(m_form->isModal());
    EXPECT_EQ(m_form->minimumSize(), m_form->maximumSize()) << "a fixed window";
    EXPECT_EQ(Child<QLabel>("Label1")->text(), u"Open with"_s);
    QStringList entries;
    for (int i = 0; i < Host()->count(); ++i)
        entries << Host()->itemText(i);
    EXPECT_EQ(entries, Recent);
    EXPECT_EQ(Host()->currentText(), QString());
    EXPECT_EQ(Host()->toolTip(), u"Enter Host or IP Address [:port]"_s);
    EXPECT_TRUE(Host()->hasFocus() || Host()->lineEdit()->hasFocus());
    EXPECT_EQ(OpenButton()->text(), u"OPEN"_s);
    EXPECT_TRUE(OpenButton()->isDefault());
    EXPECT_TRUE(OpenButton()->isEnabled());
    EXPECT_EQ(Child<QPushButton>("AbortBtn")->text(), u"Abort"_s);
    EXPECT_EQ(Status()->text(), u"Status: Idle"_s);
    EXPECT_EQ(Status()->kind(), StatusLine::Kind::Work);

    // OPEN with an empty host does nothing.
    Type(u"   "_s);
    QTest::mouseClick(OpenButton(), Qt::LeftButton);
    EXPECT_FALSE(m_opener.running());
    EXPECT_TRUE(OpenButton()->isEnabled());
    EXPECT_EQ(Status()->text(), u"Status: Idle"_s);
}

TEST_F(TNewTunnelTest, FailureTurnsRedAndLetsTheUserTryAgain)
{
    int port = 0;
    {
        SilentListener closed; // nobody listens on its port afterwards
        port = closed.port();
    }
    Type(u"127.0.0.1:%1"_s.arg(port));
    QTest::keyClick(Host()->lineEdit(), Qt::Key_Return); // the default button
    EXPECT_FALSE(OpenButton()->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return Status()->kind() == StatusLine::Kind::Failure; }));
    EXPECT_EQ(Status()->text(), u"Status: Unable to connect to '127.0.0.1'"_s);
    EXPECT_TRUE(OpenButton()->isEnabled());
    EXPECT_TRUE(m_form->isVisible());
    EXPECT_EQ(m_bob.sounds().Count(Sound::Error), 1);

    // The corrected host opens the tunnel: the window closes and the row is listed.
    Type(m_alice.hostText());
    QTest::mouseClick(OpenButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !m_form; })) << "closed and deleted";
    ASSERT_EQ(m_bob.hub().tunnels().rows().size(), 1u);
    EXPECT_EQ(m_bob.hub().tunnels().rows()[0].status(), u"Open"_s);
}

TEST_F(TNewTunnelTest, AbortOrEscapeDuringTheHandshakeClosesAtOnce)
{
    SilentListener silent;
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Abort");
        if (!m_form) {
            m_form = new TNewTunnel(m_opener, Recent);
            m_form->setAttribute(Qt::WA_DeleteOnClose);
            m_form->show();
        }
        Type(u"127.0.0.1:%1"_s.arg(silent.port()));
        QTest::mouseClick(OpenButton(), Qt::LeftButton);
        ASSERT_TRUE(
            WaitUntil([&] { return Status()->text().startsWith(u"Status: SSL HandShake"_s); }));
        if (escape)
            QTest::keyClick(m_form, Qt::Key_Escape);
        else
            QTest::mouseClick(Child<QPushButton>("AbortBtn"), Qt::LeftButton);
        EXPECT_FALSE(m_opener.running());
        QCoreApplication::processEvents();
        EXPECT_FALSE(m_form && m_form->isVisible());
        EXPECT_TRUE(m_bob.hub().tunnels().rows().empty());
    }
}

} // namespace
} // namespace vantrel::test
