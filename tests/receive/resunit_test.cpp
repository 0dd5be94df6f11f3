#include "receive/resunit.h"

#include "net/wirerecords.h"
#include "receive/resumecache.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QTreeWidget>

namespace vantrel {
namespace {

using namespace Qt::StringLiterals;

class ResFormTest : public ::testing::Test
{
protected:
    ResFormTest() : m_cache(ProgramFolder(m_temp.path()))
    {
        QDir(m_temp.path()).mkpath(QStringLiteral("CachedResumes"));
    }

    // A kept archive of `size` bytes for an offer of `total` bytes.
    std::uint32_t AddEntry(const char* name, int size, std::uint32_t total)
    {
        RequestHeader request;
        request.fileName = name;
        request.dirCount = 2;
        request.fileCount = 5;
        request.totalSize = total;
        const std::uint32_t id = m_cache.Add(request);
        m_temp.write(QStringLiteral("CachedResumes/%1.resume").arg(id), QByteArray(size, 'z'));
        m_cache.Complete(id);
        return id;
    }
    QTreeWidget* List() { return m_form.findChild<QTreeWidget*>(QStringLiteral("ResList")); }
    QMenu* Menu() { return m_form.findChild<QMenu*>(QStringLiteral("ResMenu")); }
    QAction* Action(const char* name) { return m_form.findChild<QAction*>(QLatin1String(name)); }
    void OpenMenu()
    {
        emit List()->customContextMenuRequested(QPoint(2, 2));
        ASSERT_TRUE(Menu()->isVisible());
    }
    void SelectRow(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }
    bool EntryFileExists(std::uint32_t id) const { return QFile::exists(m_cache.EntryFile(id)); }

    test::TempFolder m_temp;
    ResumeCache m_cache;
    test::ScriptedDialogs m_dialogs;
    TResForm m_form{m_cache, m_dialogs};
};

TEST_F(ResFormTest, ListsEntriesWithTheirColumns)
{
    AddEntry("holiday", 500, 1000);
    m_form.show();
    QTreeWidget* list = List();
    ASSERT_EQ(list->topLevelItemCount(), 1);
    const QStringList headers = {u"ID"_s,    u"FileName"_s,    u"Dirs"_s,    u"Files"_s,
                                 u"Bytes"_s, u"Actual Size"_s, u"Progress"_s};
    const QList<int> widths = {60, 220, 80, 80, 80, 80, 60};
    QTreeWidgetItem* row = list->topLevelItem(0);
    for (int c = 0; c < headers.size(); ++c) {
        EXPECT_EQ(list->headerItem()->text(c), headers[c]);
        // Widened only where the font needs it for the title.
        EXPECT_GE(list->columnWidth(c), widths[c]) << c;
    }
    EXPECT_EQ(row->text(0), u"1"_s);
    EXPECT_EQ(row->text(1), u"holiday"_s);
    EXPECT_EQ(row->text(2), u"2"_s);
    EXPECT_EQ(row->text(3), u"5"_s);
    EXPECT_EQ(row->text(4), u"1000"_s);
    EXPECT_FALSE(row->text(5).isEmpty());
    EXPECT_EQ(row->text(6), u"50%"_s);
    EXPECT_EQ(row->textAlignment(1) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(row->textAlignment(4) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(row->textAlignment(6) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(list->toolTip(), u"Right-click to show contex menu"_s);
    EXPECT_EQ(m_form.windowTitle(), u"Cached Compressed Resumes"_s);
    // No column is cut off at the starting size.
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
}

TEST_F(ResFormTest, FollowsTheCacheWhileOpen)
{
    m_form.show();
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    AddEntry("a", 10, 100);
    AddEntry("b", 10, 100);
    EXPECT_EQ(List()->topLevelItemCount(), 2);
    m_cache.Remove(1);
    ASSERT_EQ(List()->topLevelItemCount(), 1);
    EXPECT_EQ(List()->topLevelItem(0)->text(1), u"b"_s);
}

TEST_F(ResFormTest, MenuOffersDeleteOneOnlyWithASelection)
{
    AddEntry("a", 10, 100);
    m_form.show();
    OpenMenu();
    EXPECT_FALSE(Action("DeleteResume")->isVisible());
    EXPECT_TRUE(Action("DeleteAllResumes")->isVisible());
    Menu()->hide();

    SelectRow(0);
    OpenMenu();
    EXPECT_TRUE(Action("DeleteResume")->isVisible());
    EXPECT_TRUE(Action("DeleteAllResumes")->isVisible());
    Menu()->hide();
}

TEST_F(ResFormTest, DeleteOneAsksAndDeletesOnlyOnYes)
{
    const std::uint32_t first = AddEntry("a", 10, 100);
    const std::uint32_t second = AddEntry("b", 10, 100);
    m_form.show();
    SelectRow(1);

    m_dialogs.answers = {false};
    Action("DeleteResume")->trigger();
    ASSERT_EQ(m_dialogs.shown.size(), 1u);
    EXPECT_EQ(m_dialogs.shown[0].kind, u"question"_s);
    EXPECT_EQ(m_dialogs.shown[0].title, u"Delete Confirmation"_s);
    EXPECT_EQ(m_dialogs.shown[0].text, u"Do you really want to delete this resume?"_s);
    EXPECT_EQ(m_cache.entries().size(), 2u);
    EXPECT_TRUE(EntryFileExists(second));

    m_dialogs.answers = {true};
    Action("DeleteResume")->trigger();
    ASSERT_EQ(m_cache.entries().size(), 1u);
    EXPECT_EQ(m_cache.entries()[0].id, first);
    EXPECT_FALSE(EntryFileExists(second));
    EXPECT_TRUE(EntryFileExists(first));
    EXPECT_EQ(List()->topLevelItemCount(), 1);
    // Deleting in the window leaves the list file to the next save.
    EXPECT_FALSE(QFile::exists(m_temp.file(QStringLiteral("cachedreslist.vnt"))));
}

TEST_F(ResFormTest, DeleteAllAsksAndDeletesEverythingOnlyOnYes)
{
    const std::uint32_t first = AddEntry("a", 10, 100);
    const std::uint32_t second = AddEntry("b", 10, 100);
    m_form.show();

    m_dialogs.answers = {false};
    Action("DeleteAllResumes")->trigger();
    ASSERT_EQ(m_dialogs.shown.size(), 1u);
    EXPECT_EQ(m_dialogs.shown[0].title, u"Delete Confirmation"_s);
    EXPECT_EQ(m_dialogs.shown[0].text, u"Do you really want to delete all resumes?"_s);
    EXPECT_EQ(m_cache.entries().size(), 2u);

    m_dialogs.answers = {true};
    Action("DeleteAllResumes")->trigger();
    EXPECT_TRUE(m_cache.entries().empty());
    EXPECT_FALSE(EntryFileExists(first));
    EXPECT_FALSE(EntryFileExists(second));
    EXPECT_EQ(List()->topLevelItemCount(), 0);
}

TEST_F(ResFormTest, DeleteAllKeepsAnEntryThatArrivedWhileAsking)
{
    AddEntry("a", 10, 100);
    m_form.show();
    std::uint32_t late = 0;
    m_dialogs.whileAsking = [&] { late = AddEntry("late", 10, 100); };
    m_dialogs.answers = {true};
    Action("DeleteAllResumes")->trigger();
    ASSERT_EQ(m_cache.entries().size(), 1u);
    EXPECT_EQ(m_cache.entries()[0].id, late);
    EXPECT_TRUE(EntryFileExists(late));
}

TEST_F(ResFormTest, AnEntryWhoseFileIsGoneIsStillDeleted)
{
    const std::uint32_t id = AddEntry("a", 10, 100);
    QFile::remove(m_cache.EntryFile(id));
    m_form.show();
    SelectRow(0);
    m_dialogs.answers = {true};
    Action("DeleteResume")->trigger();
    EXPECT_TRUE(m_cache.entries().empty());
    EXPECT_TRUE(m_dialogs.shown.size() == 1u);
}

} // namespace
} // namespace vantrel
