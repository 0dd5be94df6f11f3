#pragma once

#include "tunnel/tunnellist.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class QAction;
class QMenu;
class QTreeWidget;

namespace vantrel {

// "Tunnels": the receive tunnel list ("TList") under its header bar: newest rows on top,
// usable tunnels bold in green, all others in maroon. Its context menu ("TunPMenu") asks for
// what the main window does with the list; "Close Selected Tunnel" is shown only for a
// selected usable row. A double click does nothing.
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

    // Replaces the list's rows by `rows`, in their order; the selected row stays selected.
    void ShowTunnels(const std::vector<TunnelList::Row>& rows);

    QTreeWidget* list() const { return m_list; }
    QMenu* menu() const { return m_menu; }
    // The id of the selected row, 0 when none is.
    std::uint64_t selectedId() const;

signals:
    void openTunnelRequested();
    void closeTunnelRequested(std::uint64_t id);
    void clearInactiveRequested();
    void refreshRequested();
    void policiesRequested();

private:
    void PrepareMenu();

    QTreeWidget* m_list = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_close = nullptr;
};

} // namespace vantrel
