#include "receive/arecunit.h"

#include "receive/autoreceiverules.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << "u\"" << text.toStdString() << "\"_s";
}

namespace vantrel {
namespace {

using namespace Qt::StringLiterals;

class ARecFormTest : public ::testing::Test
{
protected:
    ARecFormTest()
    {
        m_folder = m_temp.path();
        m_form = std::make_unique<TARecForm>(
            m_rules, [this] { return m_recent; }, m_dialogs);
    }

    template <typename T> T* Child(const char* name)
    {
        T* child = m_form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QTreeWidget* List() { return Child<QTreeWidget>("ARList"); }
    QComboBox* Host() { return Child<QComboBox>("HostCBox"); }
    QLineEdit* SaveDir() { return Child<QLineEdit>("SaveDir"); }
    QLineEdit* BandLimit() { return Child<QLineEdit>("BLimit"); }
    QPushButton* AddBtn() { return Child<QPushButton>("AddBtn"); }
    QPushButton* ModBtn() { return Child<QPushButton>("ModBtn"); }
    void Fill(const QString& host, const QString& dir, const QString& band)
    {
        Host()->setEditText(host);
        SaveDir()->setText(dir);
        BandLimit()->setText(band);
    }
    void AddRule(const QString& host, const QString& band)
    {
        ASSERT_EQ(m_rules.Add({host, m_folder, band}), AutoReceiveRules::Check::Ok);
    }
    void SelectRow(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }
    void Deselect() { List()->clearSelection(); }
    QStringList Fields() { return {Host()->currentText(), SaveDir()->text(), BandLimit()->text()}; }

    test::TempFolder m_temp;
    QString m_folder;
    AutoReceiveRules m_rules;
    QStringList m_recent;
    test::ScriptedDialogs m_dialogs;
    std::unique_ptr<TARecForm> m_form;
};

TEST_F(ARecFormTest, OpeningClearsTheFieldsAndOffersTheRecentHostsCut)
{
    AddRule(u"peer"_s, u"0"_s);
    m_recent = {u"alpha.example.org:12666 (ann)"_s,
                u"10.0.0.7:2000 (bob)"_s,
                u"my-box:1 (c)"_s,
                u"plain"_s,
                u""_s,
                u"after.empty:1 (d)"_s};
    m_form->show();
    SelectRow(0);
    Fill(u"typed"_s, u"/x"_s, u"9"_s);
    m_form->hide();
    m_form->show();

    EXPECT_TRUE(List()->selectedItems().isEmpty());
    EXPECT_EQ(Fields(), QStringList({u""_s, u""_s, u"0"_s}));
    EXPECT_FALSE(ModBtn()->isEnabled());
    QStringList offered;
    for (int i = 0; i < Host()->count(); ++i)
        offered << Host()->itemText(i);
    EXPECT_EQ(offered, QStringList({u"alpha.example.org"_s, u"10.0.0.7"_s, u"my"_s, u"plain"_s}));

    // Refilled, not appended, at the next opening.
    m_recent = {u"other:1 (x)"_s};
    m_form->hide();
    m_form->show();
    EXPECT_EQ(Host()->count(), 1);
    EXPECT_EQ(Host()->lineEdit()->maxLength(), 511);
    EXPECT_EQ(SaveDir()->maxLength(), 511);
}

TEST_F(ARecFormTest, FailedChecksShowTheirMessagesAndChangeNothing)
{
    struct Case
    {
        QString host;
        QString dir;
        QString band;
        QString text;
        QString title;
        QMessageBox::Icon icon;
    };
    const QString missing = m_folder + u"/missing"_s;
    const Case cases[] = {
        {u""_s, u""_s, u""_s, u"You should enter a Hostname or IP Address!"_s, u"Warning..."_s,
         QMessageBox::Information},
        {u""_s, m_folder, u"5"_s, u"You should enter a Hostname or IP Address!"_s, u"Warning..."_s,
         QMessageBox::Information},
        {u"peer"_s, u""_s, u""_s, u"You should enter a Save Directory!"_s, u"Warning..."_s,
         QMessageBox::Information},
        {u"peer"_s, m_folder, u""_s, u"You should enter a Band Usage Limit value!"_s,
         u"Warning..."_s, QMessageBox::Information},
        {u"peer"_s, missing, u"5"_s, u"You must provide a valid Save Directory!"_s, u"Error"_s,
         QMessageBox::Warning},
        {u" "_s, missing, u" "_s, u"You must provide a valid Save Directory!"_s, u"Error"_s,
         QMessageBox::Warning},
    };
    AddRule(u"kept"_s, u"0"_s);
    m_form->show();
    for (const Case& c : cases) {
        for (QPushButton* button : {AddBtn(), ModBtn()}) {
            SCOPED_TRACE((c.text + u" "_s + button->objectName()).toStdString());
            if (button == ModBtn())
                SelectRow(0);
            Fill(c.host, c.dir, c.band);
            m_dialogs.shown.clear();
            button->click();
            ASSERT_EQ(m_dialogs.shown.size(), 1u);
            EXPECT_EQ(m_dialogs.shown[0].kind, u"message"_s);
            EXPECT_EQ(m_dialogs.shown[0].text, c.text);
            EXPECT_EQ(m_dialogs.shown[0].title, c.title);
            EXPECT_EQ(m_dialogs.shown[0].icon, c.icon);
            ASSERT_EQ(m_rules.rules().size(), 1u);
            EXPECT_EQ(m_rules.rules()[0].host, u"kept"_s);
            Deselect();
        }
    }
}

TEST_F(ARecFormTest, AddAppendsAnEnabledRuleAndKeepsTheFields)
{
    m_form->show();
    Fill(u"10.0.0.7"_s, m_folder + u"/"_s, u"64"_s);
    AddBtn()->click();
    Fill(u"peer"_s, m_folder, u"letters"_s);
    AddBtn()->click();

    EXPECT_TRUE(m_dialogs.shown.empty());
    ASSERT_EQ(m_rules.rules().size(), 2u);
    EXPECT_TRUE(m_rules.rules()[0].enabled);
    EXPECT_EQ(m_rules.rules()[0].saveFolder, m_folder);
    EXPECT_EQ(Fields(), QStringList({u"peer"_s, m_folder, u"letters"_s}));
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    const QTreeWidgetItem* first = List()->topLevelItem(0);
    EXPECT_EQ(first->text(0), u"10.0.0.7"_s);
    EXPECT_EQ(first->text(1), m_folder);
    EXPECT_EQ(first->text(2), u"64 Kb/sec"_s);
    EXPECT_EQ(first->checkState(0), Qt::Checked);
    EXPECT_EQ(List()->topLevelItem(1)->text(2), u"No Limit"_s);
    EXPECT_TRUE(List()->selectedItems().isEmpty());
}

TEST_F(ARecFormTest, SelectingFillsTheFieldsAndDeselectingEmptiesThem)
{
    AddRule(u"fast"_s, u"64"_s);
    AddRule(u"free"_s, u"0"_s);
    m_form->show();

    SelectRow(0);
    EXPECT_TRUE(ModBtn()->isEnabled());
    EXPECT_EQ(Fields(), QStringList({u"fast"_s, m_folder, u"64"_s}));
    SelectRow(1);
    EXPECT_EQ(Fields(), QStringList({u"free"_s, m_folder, u"0"_s}));
    Deselect();
    EXPECT_FALSE(ModBtn()->isEnabled());
    EXPECT_EQ(Fields(), QStringList({u""_s, u""_s, u"0"_s}));
}

TEST_F(ARecFormTest, ModifyChangesTheSelectedRuleAndKeepsItsState)
{
    AddRule(u"first"_s, u"0"_s);
    AddRule(u"second"_s, u"0"_s);
    m_rules.SetEnabled(1, false);
    m_form->show();
    SelectRow(1);
    Fill(u"changed"_s, m_folder, u"8"_s);
    ModBtn()->click();

    ASSERT_EQ(m_rules.rules().size(), 2u);
    EXPECT_EQ(m_rules.rules()[0].host, u"first"_s);
    EXPECT_EQ(m_rules.rules()[1].host, u"changed"_s);
    EXPECT_EQ(m_rules.rules()[1].bandLimit, 8);
    EXPECT_FALSE(m_rules.rules()[1].enabled);
    EXPECT_EQ(List()->topLevelItem(1)->text(2), u"8 Kb/sec"_s);
    EXPECT_EQ(List()->topLevelItem(1)->checkState(0), Qt::Unchecked);
    // The row stays selected and the fields as typed.
    EXPECT_TRUE(ModBtn()->isEnabled());
    EXPECT_EQ(Fields(), QStringList({u"changed"_s, m_folder, u"8"_s}));
}

TEST_F(ARecFormTest, CheckBoxEnablesAndDisablesTheRuleAtOnce)
{
    AddRule(u"peer"_s, u"0"_s);
    m_form->show();
    List()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(m_rules.rules()[0].enabled);
    EXPECT_FALSE(m_rules.MatchAutoReceive(u"peer"_s, std::nullopt));
    List()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(m_rules.rules()[0].enabled);
    EXPECT_TRUE(m_rules.MatchAutoReceive(u"peer"_s, std::nullopt));
}

TEST_F(ARecFormTest, DeleteItemIsEnabledOnlyWithASelectionAndRemovesIt)
{
    AddRule(u"first"_s, u"0"_s);
    AddRule(u"second"_s, u"0"_s);
    m_form->show();
    auto* menu = Child<QMenu>("ARMenu");
    auto* remove = Child<QAction>("DeleteItem");
    emit List()->customContextMenuRequested(QPoint(2, 2));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_FALSE(remove->isEnabled());
    menu->hide();

    SelectRow(0);
    emit List()->customContextMenuRequested(QPoint(2, 2));
    EXPECT_TRUE(remove->isEnabled());
    remove->trigger();
    menu->hide();

    EXPECT_TRUE(m_dialogs.shown.empty());
    ASSERT_EQ(m_rules.rules().size(), 1u);
    EXPECT_EQ(m_rules.rules()[0].host, u"second"_s);
    EXPECT_TRUE(List()->selectedItems().isEmpty());
    EXPECT_FALSE(ModBtn()->isEnabled());
    EXPECT_EQ(Fields(), QStringList({u""_s, u""_s, u"0"_s}));
}

TEST_F(ARecFormTest, BrowseStartsAtTheFieldAndTakesOnlyAChosenFolder)
{
    m_form->show();
    SaveDir()->setText(u"/start"_s);
    auto* browse = Child<QPushButton>("BrowseDir");
    browse->click();
    ASSERT_EQ(m_dialogs.shown.size(), 1u);
    EXPECT_EQ(m_dialogs.shown[0].kind, u"folder"_s);
    EXPECT_EQ(m_dialogs.shown[0].title, u"Select Directory"_s);
    EXPECT_EQ(m_dialogs.shown[0].text, u"/start"_s);
    EXPECT_EQ(SaveDir()->text(), u"/start"_s);

    m_dialogs.folder = m_folder;
    browse->click();
    EXPECT_EQ(SaveDir()->text(), m_folder);
}

TEST(ARecFormHostPart, CutsAtTheFirstCharacterThatNamesNoHost)
{
    const std::pair<QString, QString> cases[] = {
        {u"host.example:12666 (nick)"_s, u"host.example"_s},
        {u"192.168.1.2:80 (x)"_s, u"192.168.1.2"_s},
        {u"under_score"_s, u"under"_s},
        {u"Caps9"_s, u"Caps9"_s},
        {u":12666"_s, u""_s},
        {u"h\u00e9te"_s, u"h"_s},
    };
    for (const auto& [entry, host] : cases)
        EXPECT_EQ(TARecForm::HostPart(entry), host) << entry.toStdString();
}

} // namespace
} // namespace vantrel
