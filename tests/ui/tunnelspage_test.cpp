#include "ui/tunnelspage.h"

#include "tunnel/tunnelhandle.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
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

// The context menu: its entries in order, "Close Selected Tunnel" only for a selected usable
// row, and each entry asking for its command (closing names the selected row).
TEST(TunnelsPage, ContextMenuOffersClosingOnlyForASelectedOpenRow)
{
    TunnelsPage page;
    page.show();
    QTreeWidget* list = page.list();
    EXPECT_EQ(list->toolTip(), QStringLiteral("Right-click to show contex menu"));
    QMenu* menu = page.menu();
    ASSERT_EQ(menu->objectName(), QStringLiteral("TunPMenu"));
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Open New Receive Tunnel"), QStringLiteral("-"),
                                  QStringLiteral("Close Selected Tunnel"),
                                  QStringLiteral("Clear All Inactive Tunnels"),
                                  QStringLiteral("Refresh Active Tunnels"), QStringLiteral("-"),
                                  QStringLiteral("Incoming Connections Policies")}));
    EXPECT_EQ(menu->defaultAction(), menu->actions().at(0));
    QAction* close = menu->actions().at(2);

    std::vector<TunnelList::Row> rows;
    rows.push_back(Row(true, "peer.example", "Ann", TunnelState::Open));
    rows.push_back(Row(false, "10.0.0.7", "-", TunnelState::Closed));
    rows.push_back(Row(true, "192.168.1.9", "Bob", TunnelState::Dropped));
    rows[0].id = 7;
    rows[1].id = 8;
    rows[2].id = 9;
    page.ShowTunnels(rows);

    std::vector<std::uint64_t> closed;
    QObject::connect(&page, &TunnelsPage::closeTunnelRequested,
                     [&](std::uint64_t id) { closed.push_back(id); });
    const auto closeShown = [&](int select) {
        list->clearSelection();
        list->setCurrentItem(select < 0 ? nullptr : list->topLevelItem(select));
        emit list->customContextMenuRequested(QPoint(2, 2));
        const bool shown = menu->isVisible() && close->isVisible();
        menu->hide();
        return shown;
    };
    EXPECT_FALSE(closeShown(-1)) << "nothing selected";
    EXPECT_TRUE(closeShown(0)) << "Open";
    EXPECT_FALSE(closeShown(1)) << "Closed";
    EXPECT_FALSE(closeShown(2)) << "Dropped";

    // A refresh of the rows keeps the selection.
    list->setCurrentItem(list->topLevelItem(0));
    page.ShowTunnels(rows);
    EXPECT_EQ(page.selectedId(), 7u);
    close->trigger();
    EXPECT_EQ(closed, std::vector<std::uint64_t>{7});

    int opens = 0, clears = 0, refreshes = 0, policies = 0;
    QObject::connect(&page, &TunnelsPage::openTunnelRequested, [&] { ++opens; });
    QObject::connect(&page, &TunnelsPage::clearInactiveRequested, [&] { ++clears; });
    QObject::connect(&page, &TunnelsPage::refreshRequested, [&] { ++refreshes; });
    QObject::connect(&page, &TunnelsPage::policiesRequested, [&] { ++policies; });
    for (const int entry : {0, 3, 4, 6})
        menu->actions().at(entry)->trigger();
    EXPECT_EQ(std::vector<int>({opens, clears, refreshes, policies}),
              std::vector<int>({1, 1, 1, 1}));

    // A double click does nothing at all.
    const QRect cell = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(closed.size(), 1u);
}

} // namespace
} // namespace vantrel
