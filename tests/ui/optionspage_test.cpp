#include "ui/optionspage.h"

#include "core/settings.h"
#include "widgets/lampbuttons.h"
#include "widgets/scrollingnotice.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace vantrel {
namespace {

template <typename Widget> Widget* Find(const QWidget& page, const char* name)
{
    auto* widget = page.findChild<Widget*>(QString::fromUtf8(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// The page's controls are the settings' live copies: they start from Settings and every edit
// lands there at once.
TEST(OptionsPage, EditsTheSettingsInPlace)
{
    Settings settings;
    settings.nickName = QStringLiteral("Ann");
    settings.serverPortText = QStringLiteral("12666");
    settings.autoUpdateCheck = true;
    settings.startWithDesktop = false;
    OptionsPage page(settings);
    page.show();

    auto* nick = Find<QLineEdit>(page, "NickName");
    auto* port = Find<QLineEdit>(page, "SPort");
    auto* run = Find<LampCheckBox>(page, "ARunCheck");
    auto* update = Find<LampCheckBox>(page, "AUpdateCheck");
    ASSERT_TRUE(nick && port && run && update);
    EXPECT_EQ(nick->text(), QStringLiteral("Ann"));
    EXPECT_EQ(port->text(), QStringLiteral("12666"));
    EXPECT_FALSE(run->isChecked());
    EXPECT_TRUE(update->isChecked());
    EXPECT_EQ(run->text(), QStringLiteral("Start when the desktop starts"));
    EXPECT_EQ(run->toolTip(), QStringLiteral("Vantrel will be loaded at every boot"));
    EXPECT_EQ(update->text(), QStringLiteral("Check for Updates"));

    nick->clear();
    EXPECT_TRUE(settings.nickName.isEmpty());
    QTest::keyClicks(nick, QString(40, QLatin1Char('n')));
    EXPECT_EQ(settings.nickName, QString(31, QLatin1Char('n')));
    port->clear();
    QTest::keyClicks(port, QStringLiteral("12a"));
    EXPECT_EQ(settings.serverPortText, QStringLiteral("12a"));
    EXPECT_EQ(port->maxLength(), 31);

    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_TRUE(settings.startWithDesktop);
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_FALSE(settings.autoUpdateCheck);
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_TRUE(settings.autoUpdateCheck);
}

// Four buttons ask for their windows; the dynamic DNS one is there but cannot be pressed.
TEST(OptionsPage, ButtonsEmitTheirRequestsAndDynamicDnsIsDisabled)
{
    Settings settings;
    OptionsPage page(settings);
    page.show();
    struct Button
    {
        const char* name;
        const char* text;
        void (OptionsPage::*signal)();
        bool enabled;
    };
    const Button buttons[] = {
        {"PolicyBtn", "Incoming Connections Policies", &OptionsPage::policiesRequested, true},
        {"ARecBtn", "Auto Receives", &OptionsPage::autoReceivesRequested, true},
        {"DynDNSBtn", "Dynamic DNS Address Book", &OptionsPage::dynDnsRequested, true},
        {"ResumesBtn", "View Cached Compressed Resumes", &OptionsPage::resumesRequested, true},
        {"ManualBtn", "Online Manual", &OptionsPage::manualRequested, true},
        {"TrustedBtn", "Trusted Computers", &OptionsPage::trustedComputersRequested, true},
    };
    int firstRowTop = -1;
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.name);
        auto* button = Find<QPushButton>(page, b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(b.text));
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_GE(button->width(), 211);
        EXPECT_GE(button->height(), 25);
        EXPECT_EQ(button->isEnabled(), b.enabled);
        if (firstRowTop < 0)
            firstRowTop = button->y();
        QSignalSpy spy(&page, b.signal);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(spy.count(), b.enabled ? 1 : 0);
    }
    // Three buttons in the first row, two in the second.
    EXPECT_EQ(Find<QPushButton>(page, "DynDNSBtn")->y(), firstRowTop);
    EXPECT_GT(Find<QPushButton>(page, "ResumesBtn")->y(), firstRowTop);
}

TEST(OptionsPage, OwnFingerprintIsShownAsSelectableText)
{
    Settings settings;
    OptionsPage page(settings);
    page.show();
    const QString readable = QStringLiteral("0123 4567 89AB CDEF 0123 4567 89AB CDEF\n"
                                            "0123 4567 89AB CDEF 0123 4567 89AB CDEF");
    page.ShowOwnFingerprint(readable);
    page.layout()->activate();
    auto* shown = Find<QLabel>(page, "OwnFingerprint");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), readable);
    EXPECT_TRUE(shown->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_GE(shown->width(), shown->minimumSizeHint().width());
}

TEST(OptionsPage, NoticeScrollsFromTheStart)
{
    Settings settings;
    OptionsPage page(settings);
    const QString once =
        QStringLiteral("You have to close and restart Vantrel to make the changes active.");
    ScrollingNotice* notice = page.notice();
    EXPECT_EQ(notice->text(), once + QString(22, QLatin1Char(' ')) + once);
    EXPECT_TRUE(notice->isScrolling());
    const int start = notice->offset();
    QTRY_VERIFY_WITH_TIMEOUT(notice->offset() < start, 2000);
}

TEST(OptionsPage, AddressListsWaitForTheirAddresses)
{
    Settings settings;
    OptionsPage page(settings);
    EXPECT_EQ(page.localAddresses()->objectName(), QStringLiteral("LIPList"));
    EXPECT_EQ(page.internetAddresses()->objectName(), QStringLiteral("IIPList"));
    EXPECT_EQ(page.localAddresses()->count(), 0);
    ASSERT_EQ(page.internetAddresses()->count(), 1);
    EXPECT_EQ(page.internetAddresses()->item(0)->text(), QStringLiteral("Unable to get Address"));
}

// Which entries each list's menu offers for the selection, and what they do.
TEST(OptionsPage, AddressMenusCopyOnlyAnAddressAndAskForNewOnes)
{
    Settings settings;
    OptionsPage page(settings);
    QSignalSpy refresh(&page, &OptionsPage::localAddressesRefreshRequested);
    QSignalSpy reget(&page, &OptionsPage::internetAddressRequested);
    const auto entries = [](QMenu* menu) {
        QStringList visible;
        for (QAction* action : menu->actions())
            if (action->isVisible())
                visible << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return visible;
    };
    const QString copy = QStringLiteral("Copy Address in Clipboard");

    page.ShowLocalAddresses({QStringLiteral("192.168.1.20"), QStringLiteral("10.0.0.5")});
    EXPECT_EQ(entries(page.PrepareLocalMenu()),
              (QStringList{QStringLiteral("-"), QStringLiteral("Refresh Address List")}));
    page.localAddresses()->setCurrentRow(1);
    QMenu* local = page.PrepareLocalMenu();
    EXPECT_EQ(entries(local),
              (QStringList{copy, QStringLiteral("-"), QStringLiteral("Refresh Address List")}));
    EXPECT_EQ(local->defaultAction()->text(), copy);
    local->defaultAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("10.0.0.5"));
    local->actions().last()->trigger();
    EXPECT_EQ(refresh.count(), 1);

    // The failure text is never copied; an address is.
    page.internetAddresses()->setCurrentRow(0);
    EXPECT_EQ(entries(page.PrepareInternetMenu()),
              (QStringList{QStringLiteral("-"), QStringLiteral("Re-get Internet Address")}));
    page.ShowInternetAddress(QStringLiteral("203.0.113.9"));
    page.internetAddresses()->setCurrentRow(0);
    QMenu* internet = page.PrepareInternetMenu();
    EXPECT_EQ(entries(internet),
              (QStringList{copy, QStringLiteral("-"), QStringLiteral("Re-get Internet Address")}));
    internet->defaultAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("203.0.113.9"));
    internet->actions().last()->trigger();
    EXPECT_EQ(reget.count(), 1);
    ASSERT_EQ(page.internetAddresses()->count(), 1);

    page.ShowInternetAddress(OptionsPage::NoInternetAddress());
    EXPECT_EQ(page.internetAddresses()->item(0)->text(), QStringLiteral("Unable to get Address"));
}

} // namespace
} // namespace vantrel
