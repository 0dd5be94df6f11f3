#pragma once

#include "core/base/transferlistmodel.h"

#include <QTableView>

namespace vantrel {

class TransferRowLook;

// One transfer list as the user sees it: a read-only report with grid lines, whole-row single
// selection, fixed starting column widths and no sorting, over the list's model dressed by
// TransferRowLook. Right-clicking asks for the context menu (customContextMenuRequested).
class TransferListView : public QTableView
{
    Q_OBJECT
public:
    // Starting widths of the columns, Host to Progress.
    static constexpr int ColumnWidths[TransferListModel::ColumnCount] = {118, 100, 148, 36, 36,
                                                                         70,  106, 87,  54};

    TransferListView(TransferListModel& list, QWidget* parent = nullptr);

    TransferListModel& list() const { return m_list; }
    TransferRowLook* look() const { return m_look; }

    // The selected row of the list model, or -1.
    int SelectedRow() const;
    void SelectRow(int row);

    // Whether the selection stays drawn while the list has no focus.
    void SetSelectionVisibleUnfocused(bool visible);

private:
    TransferListModel& m_list;
    TransferRowLook* m_look = nullptr;
};

} // namespace vantrel
