#include "netutil/dyndnsunit.h"

#include "netutil/dyndnsbook.h"
#include "netutil/dyndnsrefresher.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <condition_variable>
#include <mutex>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

using namespace Qt::StringLiterals;

class TDynDNSTest : public ::testing::Test
{
protected:
    template <typename T> T* Child(const char* name)
    {
        T* child = m_form.findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QTableWidget* List() { return Child<QTableWidget>("HList"); }
    QMenu* Menu() { return Child<QMenu>("HMenu"); }
    void OpenMenu()
    {
        emit List()->customContextMenuRequested(QPoint(2, 2));
        ASSERT_TRUE(Menu()->isVisible());
    }
    QStringList Shown(int column)
    {
        QStringList texts;
        for (int row = 0; row < List()->rowCount(); ++row)
            texts << List()->item(row, column)->text();
        return texts;
    }
    // The table's answers; lookups wait while `m_held`.
    std::optional<QString> Resolve(const QString& host)
    {
        std::unique_lock lock(m_mutex);
        ++m_lookups;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_held; });
        if (host == u"home.dyn.test"_s)
            return u"127.0.0.1"_s;
        return std::nullopt;
    }
    void Hold(bool held)
    {
        std::lock_guard lock(m_mutex);
        m_held = held;
        m_changed.notify_all();
    }
    void WaitForLookup()
    {
        std::unique_lock lock(m_mutex);
        ASSERT_TRUE(
            m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_lookups > 0; }));
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    int m_lookups = 0;
    DynDnsBook m_book;
    DynDnsRefresher m_refresher{m_book, [this](const QString& host) { return Resolve(host); }};
    TDynDNS m_form{m_book, m_refresher};
};

TEST_F(TDynDNSTest, ShowsTheBookInTwoColumns)
{
    m_book.AddEntry(u"home.dyn.test"_s, u"10.0.0.7"_s);
    m_book.AddEntry(u"away.dyn.test"_s, DynDnsBook::Unresolved);
    m_form.show();
    EXPECT_EQ(m_form.windowTitle(), u"Dynamic DNS Address Book"_s);
    EXPECT_EQ(Shown(0), QStringList({u"home.dyn.test"_s, u"away.dyn.test"_s}));
    EXPECT_EQ(Shown(1), QStringList({u"10.0.0.7"_s, u"-"_s}));
    EXPECT_EQ(List()->horizontalHeaderItem(0)->text(), u"Host"_s);
    EXPECT_EQ(List()->horizontalHeaderItem(1)->text(), u"Actual IP Address"_s);
    EXPECT_EQ(List()->columnWidth(0), 200);
    EXPECT_EQ(List()->columnWidth(1), 200);
    EXPECT_FALSE(List()->horizontalHeader()->sectionsClickable());
    EXPECT_TRUE(List()->showGrid());
    EXPECT_EQ(List()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(List()->toolTip(), u"Left click to edit an item, Right click to Add/Remove Hosts"_s);
    EXPECT_FALSE(List()->item(0, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(Child<QLineEdit>("ARMin")->text(), u"30"_s); // before loading
    EXPECT_EQ(Child<QPushButton>("RefBtn")->text(), u"Force Refresh Now"_s);
    EXPECT_TRUE(Child<QPushButton>("RefBtn")->isEnabled());
    // An empty book shows an empty bar, not a busy one.
    EXPECT_GT(Child<QProgressBar>("RefProgress")->maximum(), 0);
}

TEST_F(TDynDNSTest, AddHostAppendsUnresolvedAndDeleteNeedsASelection)
{
    m_form.show();
    OpenMenu();
    EXPECT_TRUE(Child<QAction>("DeleteHost")->isVisible());
    EXPECT_FALSE(Child<QAction>("DeleteHost")->isEnabled());
    Child<QAction>("AddHost")->trigger();
    Menu()->hide();
    Child<QAction>("AddHost")->trigger();
    EXPECT_EQ(Shown(0), QStringList({u"<New Host>"_s, u"<New Host>"_s}));
    EXPECT_EQ(Shown(1), QStringList({u"-"_s, u"-"_s}));
    EXPECT_EQ(m_book.size(), 2);
    EXPECT_TRUE(List()->selectedItems().isEmpty());
    EXPECT_EQ(List()->findChild<QLineEdit*>(), nullptr);
    EXPECT_EQ(m_lookups, 0);

    m_book.EditHost(0, u"first"_s);
    List()->selectRow(0);
    OpenMenu();
    EXPECT_TRUE(Child<QAction>("DeleteHost")->isEnabled());
    Child<QAction>("DeleteHost")->trigger();
    Menu()->hide();
    EXPECT_EQ(Shown(0), QStringList({u"<New Host>"_s}));
    EXPECT_FALSE(m_book.ContainsHost(u"first"_s));
}

TEST_F(TDynDNSTest, InPlaceEditsReachTheBookAndAnEmptyEditIsUndone)
{
    m_book.AddEntry(u"old.dyn.test"_s, u"10.0.0.7"_s);
    m_form.show();
    List()->setFocus();
    List()->selectRow(0);
    List()->setCurrentCell(0, 0);
    QTest::keyClick(List(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(List()->indexWidget(List()->model()->index(0, 0)));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, u"new.dyn.test"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_book.ContainsHost(u"new.dyn.test"_s));
    // The address stays until the next pass.
    EXPECT_EQ(m_book.NameForAddress(0x0a000007), u"new.dyn.test"_s);
    EXPECT_EQ(Shown(1), QStringList({u"10.0.0.7"_s}));

    List()->item(0, 0)->setText(QString());
    EXPECT_EQ(Shown(0), QStringList({u"new.dyn.test"_s}));
    EXPECT_TRUE(m_book.ContainsHost(u"new.dyn.test"_s));
}

TEST_F(TDynDNSTest, APassDisablesTheListAndButtonAndShowsItsProgress)
{
    m_book.AddEntry(u"home.dyn.test"_s, DynDnsBook::Unresolved);
    m_book.AddEntry(u"gone.dyn.test"_s, u"10.0.0.9"_s);
    m_form.show();
    Hold(true);
    Child<QPushButton>("RefBtn")->click();
    WaitForLookup();
    ASSERT_TRUE(
        test::WaitUntil([this] { return Child<QProgressBar>("RefProgress")->maximum() == 2; }));
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("RefBtn")->isEnabled());
    EXPECT_EQ(Child<QProgressBar>("RefProgress")->value(), 0);
    Hold(false);
    ASSERT_TRUE(test::WaitUntil([this] { return List()->isEnabled(); }));
    EXPECT_TRUE(Child<QPushButton>("RefBtn")->isEnabled());
    EXPECT_EQ(Child<QProgressBar>("RefProgress")->value(), 2);
    EXPECT_EQ(Shown(1), QStringList({u"127.0.0.1"_s, u"-"_s}));
}

TEST_F(TDynDNSTest, MinutesFieldSetsThePeriodAndFollowsALoad)
{
    m_form.show();
    auto* minutes = Child<QLineEdit>("ARMin");
    minutes->selectAll();
    QTest::keyClicks(minutes, u"5"_s);
    EXPECT_EQ(m_refresher.periodText(), u"5"_s);
    EXPECT_EQ(m_refresher.periodMs(), 5 * 60000);
    QTest::keyClick(minutes, Qt::Key_Backspace);
    QTest::keyClicks(minutes, u"0"_s);
    EXPECT_EQ(m_refresher.periodMs(), 0);

    m_refresher.SetPeriodText(u"10"_s); // what loading the book does
    EXPECT_EQ(minutes->text(), u"10"_s);
}

TEST_F(TDynDNSTest, ClosingOnlyHides)
{
    m_form.show();
    EXPECT_FALSE(m_form.close());
    EXPECT_FALSE(m_form.isVisible());
    m_form.show();
    EXPECT_TRUE(m_form.isVisible());
}

} // namespace
} // namespace vantrel
