#include "widgets/reportlist.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTreeWidget>

namespace vantrel {

void SetUpReportList(QTreeWidget* list)
{
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsClickable(false);
}

int SelectedRow(const QTableWidget& list)
{
    const QList<QTableWidgetItem*> items = list.selectedItems();
    return items.isEmpty() ? -1 : items.first()->row();
}

} // namespace vantrel
