#pragma once

#include "core/base/transferlistmodel.h"

#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QSplitter;

namespace vantrel {

class TransferHub;
class TransferListView;
class UserDialogs;

// "Active File Transfers": DOWNLOADS (`Lista`) above UPLOADS (`Lista2`), each under its header
// bar, with their context menus. Showing and hiding acts on the transfer windows that
// `windowOf` names; everything else is the hub's (clearing rows) or the owner's (the policy
// window, the hand-off of a chosen path).
class ActiveTransfersPage : public QWidget
{
    Q_OBJECT
public:
    // The window of a live transfer, or null.
    using WindowOf = std::function<QWidget*(QObject* transfer)>;

    ActiveTransfersPage(TransferHub& hub, UserDialogs& dialogs, WindowOf windowOf,
                        QWidget* parent = nullptr);

    TransferListView* downloadsView() const { return m_downloads; }
    TransferListView* uploadsView() const { return m_uploads; }
    TransferListView* view(TransferListModel::Kind kind) const;
    QSplitter* splitter() const { return m_splitter; }

    // The list's context menu made ready for its current selection ("Show" hidden, or
    // captioned "Show" or "Hide"), as it is about to open.
    QMenu* PrepareMenu(TransferListModel::Kind kind);

    // The menus' commands, on the list's selected row or on all its rows.
    void ToggleSelected(TransferListModel::Kind kind);
    void ShowAllActive(TransferListModel::Kind kind, bool show);
    void ClearAllInactive(TransferListModel::Kind kind);
    void ChooseFileToSend();
    void ChooseDirectoryToSend();

signals:
    void policiesRequested();
    // A file or directory chosen from the UPLOADS menu: to be handed off.
    void sendPathChosen(const QString& path);

private:
    struct ListMenu
    {
        QMenu* menu = nullptr;
        QAction* show = nullptr;
    };

    QWidget* MakeListPanel(const QString& caption, TransferListView* view, bool downloads);
    ListMenu MakeMenu(TransferListModel::Kind kind);
    ListMenu& menuOf(TransferListModel::Kind kind);
    QWidget* SelectedWindow(TransferListModel::Kind kind) const;
    static void Reveal(QWidget* window);

    TransferHub& m_hub;
    UserDialogs& m_dialogs;
    WindowOf m_windowOf;
    TransferListView* m_downloads = nullptr;
    TransferListView* m_uploads = nullptr;
    QSplitter* m_splitter = nullptr;
    ListMenu m_downloadsMenu;
    ListMenu m_uploadsMenu;
};

} // namespace vantrel
