#pragma once

#include "tunnel/tunnellist.h"

#include <QWidget>

#include <vector>

class QTreeWidget;

namespace vantrel {

// "Tunnels": the receive tunnel list ("TList") under its header bar, read-only: newest rows
// on top, usable tunnels bold in green, all others in maroon.
class TunnelsPage : public QWidget
{
    Q_OBJECT
public:
    enum Column
    {
        TypeColumn,
        HostColumn,
        NickNameColumn,
        StatusColumn
    };

    explicit TunnelsPage(QWidget* parent = nullptr);

    // Replaces the list's rows by `rows`, in their order.
    void ShowTunnels(const std::vector<TunnelList::Row>& rows);

    QTreeWidget* list() const { return m_list; }

private:
    QTreeWidget* m_list = nullptr;
};

} // namespace vantrel
