#include "tunnel/tpolunit.h"

#include "tunnel/incomingpolicy.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantrel {
namespace {

using namespace Qt::StringLiterals;

constexpr std::uint32_t Peer = 0x0a000007; // 10.0.0.7

class TPolFormTest : public ::testing::Test
{
protected:
    template <typename T> T* Child(const char* name)
    {
        T* child = m_form.findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QTableWidget* List() { return Child<QTableWidget>("AcList"); }
    QMenu* Menu() { return Child<QMenu>("AcMenu"); }
    void OpenMenu()
    {
        emit List()->customContextMenuRequested(QPoint(2, 2));
        ASSERT_TRUE(Menu()->isVisible());
    }
    QStringList Shown()
    {
        QStringList texts;
        for (int row = 0; row < List()->rowCount(); ++row)
            texts << List()->item(row, 0)->text();
        return texts;
    }

    IncomingPolicy m_policy;
    TTPolForm m_form{m_policy};
};

TEST_F(TPolFormTest, ShowsThePolicyAndItsList)
{
    m_policy.SetMode(PolicyMode::AcceptOnly);
    m_policy.AddHost(QStringLiteral("10.0.0.7"));
    m_form.show();
    EXPECT_TRUE(Child<QRadioButton>("AcceptOnlyBtn")->isChecked());
    EXPECT_EQ(Shown(), QStringList({u"10.0.0.7"_s}));
    EXPECT_EQ(List()->horizontalHeaderItem(0)->text(), u"Hosts List"_s);
    EXPECT_EQ(List()->columnWidth(0), 308);
    EXPECT_FALSE(List()->horizontalHeader()->sectionsClickable());
    EXPECT_TRUE(List()->showGrid());
    EXPECT_EQ(List()->toolTip(), u"Right click to Add/Remove Hosts"_s);
    EXPECT_FALSE(m_form.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(TPolFormTest, EachRadioButtonSetsItsModeAtOnce)
{
    m_policy.AddHost(QStringLiteral("10.0.0.7"));
    m_form.show();
    const struct
    {
        const char* button;
        PolicyMode mode;
        bool listedAllowed;
    } cases[] = {
        {"DenyAllBtn", PolicyMode::DenyAll, false},
        {"AcceptOnlyBtn", PolicyMode::AcceptOnly, true},
        {"AcceptExceptBtn", PolicyMode::AcceptExcept, false},
        {"AcceptAllBtn", PolicyMode::AcceptAll, true},
    };
    for (const auto& c : cases) {
        Child<QRadioButton>(c.button)->click();
        EXPECT_EQ(m_policy.mode(), c.mode) << c.button;
        EXPECT_EQ(m_policy.Allows(u"x"_s, Peer), c.listedAllowed) << c.button;
    }
}

TEST_F(TPolFormTest, AddHostAppendsWithoutSelectingAndDeleteNeedsASelection)
{
    m_form.show();
    OpenMenu();
    EXPECT_TRUE(Child<QAction>("AddHost")->isVisible());
    EXPECT_FALSE(Child<QAction>("DeleteHost")->isVisible());
    Child<QAction>("AddHost")->trigger();
    Menu()->hide();
    Child<QAction>("AddHost")->trigger();

    EXPECT_EQ(m_policy.hosts(), QStringList({u"<New Host>"_s, u"<New Host>"_s}));
    EXPECT_EQ(Shown(), m_policy.hosts());
    EXPECT_TRUE(List()->selectedItems().isEmpty());
    EXPECT_EQ(List()->findChild<QLineEdit*>(), nullptr);

    m_policy.EditHost(0, QStringLiteral("first"));
    m_form.hide();
    m_form.show();
    List()->selectRow(0);
    OpenMenu();
    EXPECT_TRUE(Child<QAction>("DeleteHost")->isVisible());
    Child<QAction>("DeleteHost")->trigger();
    Menu()->hide();
    EXPECT_EQ(m_policy.hosts(), QStringList({u"<New Host>"_s}));
    EXPECT_EQ(Shown(), m_policy.hosts());
}

TEST_F(TPolFormTest, EditsReachThePolicyAndAnEmptyEditKeepsTheOldText)
{
    m_policy.AddHost(QStringLiteral("old.host"));
    m_form.show();
    QTableWidgetItem* item = List()->item(0, 0);
    item->setText(QStringLiteral("10.0.0.7"));
    EXPECT_EQ(m_policy.hosts(), QStringList({u"10.0.0.7"_s}));
    m_policy.SetMode(PolicyMode::AcceptOnly);
    EXPECT_TRUE(m_policy.Allows(QStringLiteral("x"), Peer));

    item->setText(QString());
    EXPECT_EQ(m_policy.hosts(), QStringList({u"10.0.0.7"_s}));
    EXPECT_EQ(item->text(), u"10.0.0.7"_s);
}

TEST_F(TPolFormTest, ReturnAndF2EditTheSelectedEntry)
{
    m_policy.AddHost(QStringLiteral("a"));
    m_form.show();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_F2}) {
        List()->setFocus();
        List()->selectRow(0);
        List()->setCurrentCell(0, 0);
        QTest::keyClick(List(), key);
        auto* editor = qobject_cast<QLineEdit*>(List()->indexWidget(List()->model()->index(0, 0)));
        ASSERT_NE(editor, nullptr) << key;
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, QStringLiteral("b"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_policy.hosts(), QStringList({u"b"_s})) << key;
        m_policy.EditHost(0, QStringLiteral("a"));
        m_form.hide();
        m_form.show();
    }
}

TEST_F(TPolFormTest, OkHidesAndEscapeOrCloseDoNot)
{
    m_form.show();
    QTest::keyClick(&m_form, Qt::Key_Escape);
    EXPECT_TRUE(m_form.isVisible());
    Child<QPushButton>("OKBtn")->click();
    EXPECT_FALSE(m_form.isVisible());
}

TEST_F(TPolFormTest, ResizingKeepsTheWidthAndAMinimumHeight)
{
    m_form.show();
    const QSize start = m_form.size();
    EXPECT_GE(start.width(), 353);
    EXPECT_EQ(m_form.minimumWidth(), m_form.maximumWidth());
    m_form.resize(start.width() + 100, start.height() - 100);
    EXPECT_EQ(m_form.width(), start.width());
    EXPECT_EQ(m_form.height(), start.height());
    m_form.resize(start.width(), start.height() + 100);
    EXPECT_EQ(m_form.height(), start.height() + 100);
}

} // namespace
} // namespace vantrel
