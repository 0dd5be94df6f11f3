#include "ui/tunnelspage.h"

#include "widgets/colours.h"
#include "widgets/gradientbar.h"
#include "widgets/pictures.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrel {

namespace {

using colours::LightYellow;
using colours::Orange;
const QColor& UsableText = colours::Green;
const QColor& UnusableText = colours::Maroon;

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
    m_list->header()->setSectionsClickable(false);
    m_list->setColumnWidth(TypeColumn, 110);
    m_list->setColumnWidth(HostColumn, 260);
    m_list->setColumnWidth(NickNameColumn, 200);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_list, 1);
}

void TunnelsPage::ShowTunnels(const std::vector<TunnelList::Row>& rows)
{
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows.size()));
    for (const TunnelList::Row& row : rows) {
        auto* item =
            new QTreeWidgetItem(QStringList{row.type(), row.host, row.nickName, row.status()});
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
        items.append(item);
    }
    m_list->addTopLevelItems(items);
}

} // namespace vantrel
