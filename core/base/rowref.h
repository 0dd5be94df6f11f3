#pragma once

#include "core/base/transferlistmodel.h"

#include <QString>

namespace vantrel {

// A transfer's handle on its row.
struct RowRef
{
    TransferListModel* model = nullptr;
    TransferListModel::RowId id = 0;

    explicit operator bool() const { return model && model->Contains(id); }
    void Set(TransferListModel::Column column, const QString& text) const
    {
        if (model)
            model->SetCell(id, column, text);
    }
    void SetIcon(TransferListModel::IconSlot slot) const
    {
        if (model)
            model->SetStateIcon(id, slot);
    }
};

} // namespace vantrel
