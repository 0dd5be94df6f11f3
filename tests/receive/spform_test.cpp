// The band-limit dialog: what it shows for its target, what OK applies, and how it follows
// the last transfer window that opened it.
#include "receive/recvunit.h"
#include "receive/spform.h"
#include "tests/receive/receivefixture.h"
#include "tests/support/scripteddialogs.h"
#include "widgets/lampbuttons.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace vantrel::test {
namespace {

struct SpeedParts
{
    LampRadioButton* noLimits;
    LampRadioButton* limitTo;
    QLineEdit* edit;
    QPushButton* ok;
};

SpeedParts Parts(TSpeedForm& form)
{
    return {form.findChild<LampRadioButton*>(QStringLiteral("RadioButton1")),
            form.findChild<LampRadioButton*>(QStringLiteral("RadioButton2")),
            form.findChild<QLineEdit*>(QStringLiteral("Edit1")),
            form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))};
}

TSpeedForm::Target Holder(std::uint32_t& value)
{
    return {[&value] { return value; }, [&value](std::uint32_t v) { value = v; }};
}

TEST(SpeedFormTest, StartsUnlimitedWithSixtyFourOffered)
{
    TSpeedForm form;
    const SpeedParts parts = Parts(form);
    ASSERT_TRUE(parts.noLimits && parts.limitTo && parts.edit && parts.ok);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Band Usage Limitations"));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(parts.noLimits->isChecked());
    EXPECT_EQ(parts.noLimits->text(), QStringLiteral("No limits"));
    EXPECT_EQ(parts.noLimits->lampColor(), QColor(0, 0xff, 0));
    EXPECT_EQ(parts.limitTo->text(), QStringLiteral("Limit to"));
    EXPECT_EQ(parts.limitTo->lampColor(), QColor(Qt::red));
    EXPECT_EQ(parts.edit->text(), QStringLiteral("64"));
    EXPECT_TRUE(parts.ok->isDefault());

    // With no target OK just closes.
    form.show();
    QTest::mouseClick(parts.ok, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.hasTarget());
}

// What the dialog shows on opening and what OK then applies, per case.
TEST(SpeedFormTest, OpenShowsTheTargetAndOkApplies)
{
    struct Case
    {
        std::uint32_t start;
        bool chooseLimit;
        QString typed; // empty: leave the edit as shown
        bool shownLimited;
        std::uint32_t applied;
    };
    const Case cases[] = {
        {0, false, {}, false, 0},                       // unlimited stays unlimited
        {0, true, QStringLiteral("128"), false, 128},   // a limit chosen and typed
        {250, false, {}, true, 250},                    // a limit kept
        {250, true, QStringLiteral("12kb"), true, 0},   // letters are no whole number
        {250, true, QStringLiteral("-5"), true, 0},     // nor is a negative one
        {250, true, QStringLiteral(" 77 "), true, 77},  // surrounding blanks are no matter
        {250, true, QStringLiteral(""), true, 0},       // nor an empty field
        {250, false, QStringLiteral("unused"), true, 0} // then "No limits" chosen below
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString() + " from " + std::to_string(c.start));
        TSpeedForm form;
        const SpeedParts parts = Parts(form);
        std::uint32_t value = c.start;
        form.Open(Holder(value));
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(parts.limitTo->isChecked(), c.shownLimited);
        EXPECT_EQ(parts.noLimits->isChecked(), !c.shownLimited);
        if (c.shownLimited) {
            EXPECT_EQ(parts.edit->text(), QString::number(c.start));
        }
        if (!c.typed.isNull() || c.chooseLimit)
            parts.edit->setText(c.typed);
        if (c.chooseLimit)
            QTest::mouseClick(parts.limitTo, Qt::LeftButton);
        else if (!c.typed.isNull())
            QTest::mouseClick(parts.noLimits, Qt::LeftButton);
        QTest::mouseClick(parts.ok, Qt::LeftButton);
        EXPECT_EQ(value, c.applied);
        EXPECT_FALSE(form.isVisible());
    }
}

TEST(SpeedFormTest, DetachForgetsTheTargetAndCloses)
{
    TSpeedForm form;
    std::uint32_t value = 10;
    form.Open(Holder(value));
    ASSERT_TRUE(form.isVisible());
    form.Detach();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.hasTarget());
    form.show();
    Parts(form).edit->setText(QStringLiteral("99"));
    QTest::mouseClick(Parts(form).ok, Qt::LeftButton);
    EXPECT_EQ(value, 10u);
}

// Two receive windows share the dialog the way the main window wires it: it follows the last
// band-limit button pressed, and the first transfer keeps the value it had.
TEST_F(ReceiveFixture, SpeedFormFollowsTheLastWindowThatOpenedIt)
{
    ScriptedDialogs dialogs;
    auto firstSender = Sender(Request("one.bin", 0, 1, 10, 1));
    auto secondSender = Sender(Request("two.bin", 0, 1, 10, 1));
    auto first = Open(*firstSender);
    auto second = Open(*secondSender);
    TRecForm firstForm(*first, dialogs);
    TRecForm secondForm(*second, dialogs);
    TSpeedForm speed;
    for (TRecForm* form : {&firstForm, &secondForm}) {
        QObject::connect(form, &TRecForm::bandLimitRequested, &speed, [&speed, form] {
            ReceiveTransfer* transfer = &form->transfer();
            speed.Open({[transfer] { return transfer->bandLimit(); },
                        [transfer](std::uint32_t limit) { transfer->SetBandLimit(limit); }});
        });
    }
    first->SetBandLimit(32);
    // The band-limit button only works on the progress panel; the window test clicks it.
    const auto press = [](TRecForm& form) { emit form.bandLimitRequested(); };
    press(firstForm);
    const SpeedParts parts = Parts(speed);
    EXPECT_TRUE(speed.isVisible());
    EXPECT_TRUE(parts.limitTo->isChecked());
    EXPECT_EQ(parts.edit->text(), QStringLiteral("32"));
    if (const QString folder = qEnvironmentVariable("VANTREL_SCREENSHOT_DIR"); !folder.isEmpty())
        speed.grab().save(folder + QStringLiteral("/band-limit.png"));

    press(secondForm);
    EXPECT_TRUE(speed.isVisible());
    EXPECT_TRUE(parts.noLimits->isChecked());
    QTest::mouseClick(parts.limitTo, Qt::LeftButton);
    parts.edit->setText(QStringLiteral("8"));
    QTest::mouseClick(parts.ok, Qt::LeftButton);
    EXPECT_EQ(second->bandLimit(), 8u);
    EXPECT_EQ(first->bandLimit(), 32u);
}

} // namespace
} // namespace vantrel::test
