#include "ui/tunnelspage.h"

#include "widgets/colours.h"
#include "widgets/gradientbar.h"
#include "widgets/pictures.h"

#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrel {

namespace {

using colours::LightYellow;
using colours::Orange;
const QColor& UsableText = colours::Green;
const QColor& UnusableText = colours::Maroon;

// Where an item keeps its row's id and status image.
constexpr int IdRole = Qt::UserRole;
constexpr int ImageRole = Qt::UserRole + 1;

} // namespace

TunnelsPage::TunnelsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TunnelsPage"));
    auto* bar = new GradientBar(tr("RECEIVE TUNNELS"), Orange, LightYellow, this);
    bar->setObjectName(QStringLiteral("TunnelsBar"));
    bar->setIcon(PictureIcon(Picture::Tunnels));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("TList"));
    m_list->setHeaderLabels({tr("Type"), tr("Host"), tr("NickName"), tr("Status")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setExpandsOnDoubleClick(false);
    m_list->header()->setSectionsClickable(false);
    m_list->setColumnWidth(TypeColumn, 110);
    m_list->setColumnWidth(HostColumn, 260);
    m_list->setColumnWidth(NickNameColumn, 200);
    m_list->setToolTip(tr("Right-click to show contex menu"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("TunPMenu"));
    QAction* open = m_menu->addAction(tr("Open New Receive Tunnel"));
    open->setObjectName(QStringLiteral("OpenTunnelItem"));
    m_menu->setDefaultAction(open);
    m_menu->addSeparator();
    m_close = m_menu->addAction(tr("Close Selected Tunnel"));
    m_close->setObjectName(QStringLiteral("CloseTunnelItem"));
    QAction* clear = m_menu->addAction(tr("Clear All Inactive Tunnels"));
    clear->setObjectName(QStringLiteral("ClearInactiveItem"));
    QAction* refresh = m_menu->addAction(tr("Refresh Active Tunnels"));
    refresh->setObjectName(QStringLiteral("RefreshTunnelsItem"));
    m_menu->addSeparator();
    QAction* policies = m_menu->addAction(tr("Incoming Connections Policies"));
    policies->setObjectName(QStringLiteral("PoliciesItem"));

    connect(m_menu, &QMenu::aboutToShow, this, &TunnelsPage::PrepareMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_menu->popup(m_list->viewport()->mapToGlobal(at)); });
    connect(open, &QAction::triggered, this, &TunnelsPage::openTunnelRequested);
    connect(m_close, &QAction::triggered, this, [this] {
        if (const std::uint64_t id = selectedId())
            emit closeTunnelRequested(id);
    });
    connect(clear, &QAction::triggered, this, &TunnelsPage::clearInactiveRequested);
    connect(refresh, &QAction::triggered, this, &TunnelsPage::refreshRequested);
    connect(policies, &QAction::triggered, this, &TunnelsPage::policiesRequested);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_list, 1);
}

std::uint64_t TunnelsPage::selectedId() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    return item && item->isSelected() ? item->data(TypeColumn, IdRole).toULongLong() : 0;
}

void TunnelsPage::PrepareMenu()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    m_close->setVisible(item && item->isSelected() &&
                        item->data(TypeColumn, ImageRole).toInt() == TunnelImageUsable);
}

void TunnelsPage::ShowTunnels(const std::vector<TunnelList::Row>& rows)
{
    const std::uint64_t selected = selectedId();
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows.size()));
    QTreeWidgetItem* reselect = nullptr;
    for (const TunnelList::Row& row : rows) {
        auto* item =
            new QTreeWidgetItem(QStringList{row.type(), row.host, row.nickName, row.status()});
        item->setData(TypeColumn, IdRole, QVariant::fromValue<qulonglong>(row.id));
        item->setData(TypeColumn, ImageRole, row.statusImage());
        item->setIcon(TypeColumn,
                      PictureIcon(row.incoming ? Picture::Downloads : Picture::Uploads));
        const bool usable = row.statusImage() == TunnelImageUsable;
        item->setIcon(StatusColumn, PictureIcon(usable ? Picture::Completed : Picture::Aborted));
        QFont font = m_list->font();
        font.setBold(usable);
        for (int column = 0; column < m_list->columnCount(); ++column) {
            item->setFont(column, font);
            item->setForeground(column, usable ? UsableText : UnusableText);
        }
        if (selected != 0 && row.id == selected)
            reselect = item;
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    if (reselect)
        m_list->setCurrentItem(reselect);
}

} // namespace vantrel
