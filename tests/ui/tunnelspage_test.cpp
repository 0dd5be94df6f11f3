#include "ui/tunnelspage.h"

#include "tunnel/tunnelhandle.h"

#include <gtest/gtest.h>

#include <QTreeWidget>

namespace vantrel {
namespace {

TunnelList::Row Row(bool incoming, const char* host, const char* nick, TunnelState state)
{
    TunnelList::Row row;
    row.incoming = incoming;
    row.host = QString::fromUtf8(host);
    row.nickName = QString::fromUtf8(nick);
    row.state = state;
    return row;
}

TEST(TunnelsPage, ShowsTheRowsInOrderWithTheirColours)
{
    TunnelsPage page;
    QTreeWidget* list = page.list();
    ASSERT_EQ(list->objectName(), QStringLiteral("TList"));
    ASSERT_EQ(list->columnCount(), 4);
    const QTreeWidgetItem* header = list->headerItem();
    EXPECT_EQ(header->text(0), QStringLiteral("Type"));
    EXPECT_EQ(header->text(1), QStringLiteral("Host"));
    EXPECT_EQ(header->text(2), QStringLiteral("NickName"));
    EXPECT_EQ(header->text(3), QStringLiteral("Status"));

    std::vector<TunnelList::Row> rows;
    rows.push_back(Row(true, "peer.example", "Ann", TunnelState::Open));
    rows.push_back(Row(false, "10.0.0.7", "-", TunnelState::Used));
    rows.push_back(Row(true, "192.168.1.9", "Bob", TunnelState::Dropped));
    page.ShowTunnels(rows);

    ASSERT_EQ(list->topLevelItemCount(), 3);
    const QTreeWidgetItem* open = list->topLevelItem(0);
    EXPECT_EQ(open->text(0), QStringLiteral("Incoming"));
    EXPECT_EQ(open->text(1), QStringLiteral("peer.example"));
    EXPECT_EQ(open->text(2), QStringLiteral("Ann"));
    EXPECT_EQ(open->text(3), QStringLiteral("Open"));
    const QTreeWidgetItem* used = list->topLevelItem(1);
    EXPECT_EQ(used->text(0), QStringLiteral("Outgoing"));
    EXPECT_EQ(used->text(3), QStringLiteral("Used"));
    EXPECT_EQ(list->topLevelItem(2)->text(3), QStringLiteral("Dropped"));
    for (int column = 0; column < 4; ++column) {
        EXPECT_TRUE(open->font(column).bold());
        EXPECT_EQ(open->foreground(column).color(), QColor(0, 0x80, 0));
        EXPECT_FALSE(used->font(column).bold());
        EXPECT_EQ(used->foreground(column).color(), QColor(0x80, 0, 0));
    }
    EXPECT_FALSE(open->flags() & Qt::ItemIsEditable);

    // A later call replaces the rows; an empty list empties it.
    rows.erase(rows.begin());
    page.ShowTunnels(rows);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("10.0.0.7"));
    page.ShowTunnels({});
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

// The list's commands are not part of this page: it offers no menu at all.
TEST(TunnelsPage, OffersNoMenu)
{
    TunnelsPage page;
    EXPECT_TRUE(page.list()->actions().isEmpty());
    EXPECT_NE(page.list()->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_NE(page.list()->contextMenuPolicy(), Qt::ActionsContextMenu);
}

} // namespace
} // namespace vantrel
