#pragma once

class QTableWidget;
class QTreeWidget;

namespace vantrel {

// A flat, read-only list of rows in columns: one whole row selected at a time, a context menu
// of its own, and fixed column titles that neither stretch nor sort.
void SetUpReportList(QTreeWidget* list);

// The row of an editable host list's selected entry, or -1 when nothing is selected.
int SelectedRow(const QTableWidget& list);

} // namespace vantrel
