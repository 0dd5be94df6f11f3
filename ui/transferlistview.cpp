#include "ui/transferlistview.h"

#include "ui/transferrowlook.h"

#include <QHeaderView>
#include <QPalette>

namespace vantrel {

TransferListView::TransferListView(TransferListModel& list, QWidget* parent)
    : QTableView(parent), m_list(list)
{
    m_look = new TransferRowLook(this);
    m_look->setSourceModel(&list);
    setModel(m_look);

    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setToolTip(tr("Right-click to show context menu"));
    verticalHeader()->hide();
    // Rows as high as the text needs, and no taller: a report, not a sheet.
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    for (int column = 0; column < TransferListModel::ColumnCount; ++column)
        setColumnWidth(column, ColumnWidths[column]);
}

int TransferListView::SelectedRow() const
{
    const QModelIndexList rows =
        selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : m_look->mapToSource(rows.front()).row();
}

void TransferListView::SelectRow(int row)
{
    selectRow(m_look->mapFromSource(m_list.index(row, 0)).row());
}

void TransferListView::SetSelectionVisibleUnfocused(bool visible)
{
    QPalette colours = palette();
    if (visible) {
        colours.setBrush(QPalette::Inactive, QPalette::Highlight,
                         colours.brush(QPalette::Active, QPalette::Highlight));
        colours.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                         colours.brush(QPalette::Active, QPalette::HighlightedText));
    } else {
        colours.setBrush(QPalette::Inactive, QPalette::Highlight,
                         colours.brush(QPalette::Inactive, QPalette::Base));
        colours.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                         colours.brush(QPalette::Inactive, QPalette::Text));
    }
    setPalette(colours);
}

} // namespace vantrel
