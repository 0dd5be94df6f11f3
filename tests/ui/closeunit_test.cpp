#include "ui/closeunit.h"

#include "widgets/gradientprogressbar.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace vantrel {
namespace {

TEST(TCloseForm, LooksAsAsked)
{
    TCloseForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Vantrel Close Query"));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form.minimizeButton()->text(), QStringLiteral("Minimize"));
    EXPECT_EQ(form.closeButton()->text(), QStringLiteral("&Close"));
    EXPECT_TRUE(form.closeButton()->isDefault());
    EXPECT_EQ(form.bar()->fromColor(), QColor(Qt::yellow));
    EXPECT_EQ(form.bar()->toColor(), QColor(Qt::red));
    EXPECT_EQ(form.closeTimer().interval(), 50);

    form.show();
    EXPECT_GE(form.minimizeButton()->width(), 165);
    EXPECT_GE(form.closeButton()->height(), 33);
    EXPECT_LT(form.minimizeButton()->x(), form.closeButton()->x());
    EXPECT_EQ(form.focusWidget(), form.closeButton());
}

// Left alone, the bar fills in 60 ticks and the window closes with the answer "close".
TEST(TCloseForm, ClosesByItselfAfterSixtyTicks)
{
    TCloseForm form;
    form.show();
    ASSERT_TRUE(form.closeTimer().isActive());
    EXPECT_EQ(form.bar()->value(), 0);
    for (int tick = 1; tick < TCloseForm::TicksToClose; ++tick)
        form.Tick();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.bar()->value(), 98); // 59 * 100 / 60, truncated
    form.Tick();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.closeTimer().isActive());
    EXPECT_EQ(form.bar()->value(), 100);
    EXPECT_EQ(form.answer(), TCloseForm::Answer::Close);
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

// Every showing starts the countdown afresh.
TEST(TCloseForm, ShowingAgainRestartsTheCountdown)
{
    TCloseForm form;
    form.show();
    for (int tick = 0; tick < 30; ++tick)
        form.Tick();
    form.minimizeButton()->click();
    ASSERT_EQ(form.answer(), TCloseForm::Answer::Minimize);

    form.show();
    EXPECT_EQ(form.ticks(), 0);
    EXPECT_EQ(form.bar()->value(), 0);
    EXPECT_EQ(form.answer(), TCloseForm::Answer::Close);
    EXPECT_TRUE(form.closeTimer().isActive());
}

struct AnswerCase
{
    const char* name;
    std::function<void(TCloseForm&)> act;
    TCloseForm::Answer answer;
};

TEST(TCloseForm, EachWayOfAnsweringStopsTheCountdown)
{
    const AnswerCase cases[] = {
        {"Minimize clicked", [](TCloseForm& f) { f.minimizeButton()->click(); },
         TCloseForm::Answer::Minimize},
        {"Escape", [](TCloseForm& f) { QTest::keyClick(&f, Qt::Key_Escape); },
         TCloseForm::Answer::Minimize},
        {"closed otherwise", [](TCloseForm& f) { f.close(); }, TCloseForm::Answer::Minimize},
        {"Close clicked", [](TCloseForm& f) { f.closeButton()->click(); },
         TCloseForm::Answer::Close},
        {"Return on the focused Close", [](TCloseForm& f) { QTest::keyClick(&f, Qt::Key_Return); },
         TCloseForm::Answer::Close},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        TCloseForm form;
        form.show();
        form.Tick();
        c.act(form);
        EXPECT_FALSE(form.isVisible());
        EXPECT_FALSE(form.closeTimer().isActive());
        EXPECT_EQ(form.answer(), c.answer);
        EXPECT_EQ(form.ticks(), 1);
    }
}

// Ask runs the real timer: untouched, it returns "close" once the bar is full.
TEST(TCloseForm, AskAnswersCloseWhenLeftAlone)
{
    TCloseForm form;
    form.closeTimer().setInterval(1);
    EXPECT_EQ(form.Ask(), TCloseForm::Answer::Close);
    EXPECT_EQ(form.ticks(), TCloseForm::TicksToClose);
}

TEST(TCloseForm, AskAnswersMinimizeOnEscape)
{
    TCloseForm form;
    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_EQ(form.Ask(), TCloseForm::Answer::Minimize);
    EXPECT_LT(form.ticks(), TCloseForm::TicksToClose);
}

} // namespace
} // namespace vantrel
