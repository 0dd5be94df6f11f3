#include "ui/creditspage.h"

#include "tests/support/scripteddialogs.h"
#include "widgets/dotmatrixdisplay.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTabWidget>
#include <QTest>

namespace vantrel {
namespace {

TEST(CreditsPage, ShowsTheVersionAndOpensTheLink)
{
    test::ScriptedDialogs dialogs;
    CreditsPage page(QStringLiteral("Vantrel v 1.20"), dialogs);
    page.show();
    EXPECT_EQ(page.versionLabel()->text(), QStringLiteral("Vantrel v 1.20"));
    EXPECT_TRUE(page.versionLabel()->font().bold());
    EXPECT_EQ(page.versionLabel()->font().pointSize(), 18);

    QLabel* link = page.linkLabel();
    EXPECT_EQ(link->text(), QStringLiteral("https://vantrel.example/"));
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);

    // A right click is no click on a link.
    QTest::mouseClick(link, Qt::RightButton);
    EXPECT_TRUE(dialogs.opened.empty());
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(dialogs.opened.front(), QUrl(QStringLiteral("https://vantrel.example/")));
}

// The credits are 39 lines that all fit the display's width.
TEST(CreditsPage, CreditsFitTheDisplay)
{
    test::ScriptedDialogs dialogs;
    CreditsPage page(QStringLiteral("Vantrel v 1.20"), dialogs);
    const QStringList lines = page.display()->lines();
    EXPECT_EQ(lines.size(), 39);
    for (const QString& line : lines)
        EXPECT_LE(line.size(), DotMatrixDisplay::Columns) << line.toStdString();
    for (const char* feature : {"* Auto-Compression", "* TLS Encryption", "* Receive Tunnelling"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(feature))) << feature;
}

// The text enters from below: nothing is lit before it scrolls in, and a line's dots light once
// it has risen into the display.
TEST(CreditsPage, CreditsLightTheDisplayAsTheyScroll)
{
    test::ScriptedDialogs dialogs;
    CreditsPage page(QStringLiteral("Vantrel v 1.20"), dialogs);
    DotMatrixDisplay* display = page.display();
    constexpr int Wide = DotMatrixDisplay::Columns * DotMatrixDisplay::CellWidth;
    constexpr int High = DotMatrixDisplay::Rows * DotMatrixDisplay::CellHeight;
    auto litDots = [display](int fromRow, int toRow) {
        int lit = 0;
        for (int y = fromRow; y < toRow; ++y)
            for (int x = 0; x < Wide; ++x)
                lit += display->IsLit(x, y) ? 1 : 0;
        return lit;
    };
    EXPECT_EQ(litDots(0, High), 0);
    for (int step = 0; step < DotMatrixDisplay::CellHeight; ++step)
        display->Step();
    // The first line ("VANTREL") now fills the bottom text row, and only that row.
    EXPECT_GT(litDots(High - DotMatrixDisplay::CellHeight, High), 20);
    EXPECT_EQ(litDots(0, High - DotMatrixDisplay::CellHeight), 0);
}

// The display scrolls only while the page is on screen: tab changes and hiding the window
// stop it, showing the page again resumes it where it stood.
TEST(CreditsPage, DisplayRunsOnlyWhileThePageIsShown)
{
    test::ScriptedDialogs dialogs;
    QTabWidget tabs;
    tabs.addTab(new QWidget, QStringLiteral("Other"));
    auto* page = new CreditsPage(QStringLiteral("Vantrel v 1.20"), dialogs);
    tabs.addTab(page, QStringLiteral("Credits"));
    DotMatrixDisplay* display = page->display();
    EXPECT_FALSE(display->isRunning());

    tabs.show();
    EXPECT_FALSE(display->isRunning());
    tabs.setCurrentWidget(page);
    EXPECT_TRUE(display->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(display->position() > 0, 2000);

    tabs.setCurrentIndex(0);
    EXPECT_FALSE(display->isRunning());
    const int stoodAt = display->position();
    QTest::qWait(3 * DotMatrixDisplay::StepInterval);
    EXPECT_EQ(display->position(), stoodAt);

    tabs.setCurrentWidget(page);
    EXPECT_TRUE(display->isRunning());
    tabs.hide();
    EXPECT_FALSE(display->isRunning());
    tabs.show();
    EXPECT_TRUE(display->isRunning());
    EXPECT_GE(display->position(), stoodAt);
}

} // namespace
} // namespace vantrel
