#include "ui/activetransferspage.h"

#include "core/transferhub.h"
#include "ui/transferlistview.h"
#include "widgets/colours.h"
#include "widgets/gradientbar.h"
#include "widgets/pictures.h"
#include "widgets/userdialogs.h"

#include <QDir>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>

namespace vantrel {

namespace {

using Kind = TransferListModel::Kind;

constexpr int SplitterHeight = 6;

} // namespace

ActiveTransfersPage::ActiveTransfersPage(TransferHub& hub, UserDialogs& dialogs, WindowOf windowOf,
                                         QWidget* parent)
    : QWidget(parent), m_hub(hub), m_dialogs(dialogs), m_windowOf(std::move(windowOf))
{
    m_downloads = new TransferListView(hub.downloads());
    m_downloads->setObjectName(QStringLiteral("Lista"));
    m_downloads->SetSelectionVisibleUnfocused(true);
    m_uploads = new TransferListView(hub.uploads());
    m_uploads->setObjectName(QStringLiteral("Lista2"));
    m_uploads->SetSelectionVisibleUnfocused(false);

    m_splitter = new QSplitter(Qt::Vertical);
    m_splitter->setHandleWidth(SplitterHeight);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(MakeListPanel(tr("DOWNLOADS"), m_downloads, true));
    m_splitter->addWidget(MakeListPanel(tr("UPLOADS"), m_uploads, false));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_splitter);

    m_downloadsMenu = MakeMenu(Kind::Downloads);
    m_uploadsMenu = MakeMenu(Kind::Uploads);
    for (const Kind kind : {Kind::Downloads, Kind::Uploads}) {
        TransferListView* list = view(kind);
        connect(list, &QWidget::customContextMenuRequested, this, [this, kind](const QPoint& at) {
            PrepareMenu(kind)->popup(view(kind)->viewport()->mapToGlobal(at));
        });
        connect(list, &QAbstractItemView::doubleClicked, this,
                [this, kind](const QModelIndex&) { ToggleSelected(kind); });
    }
}

QWidget* ActiveTransfersPage::MakeListPanel(const QString& caption, TransferListView* list,
                                            bool downloads)
{
    auto* panel = new QWidget;
    auto* bar = downloads ? new GradientBar(caption, colours::Blue, colours::LightCyan)
                          : new GradientBar(caption, colours::Green, colours::Lime);
    bar->setObjectName(downloads ? QStringLiteral("DownloadsBar") : QStringLiteral("UploadsBar"));
    bar->setIcon(PictureIcon(downloads ? Picture::Downloads : Picture::Uploads));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(list, 1);
    return panel;
}

TransferListView* ActiveTransfersPage::view(Kind kind) const
{
    return kind == Kind::Downloads ? m_downloads : m_uploads;
}

ActiveTransfersPage::ListMenu& ActiveTransfersPage::menuOf(Kind kind)
{
    return kind == Kind::Downloads ? m_downloadsMenu : m_uploadsMenu;
}

ActiveTransfersPage::ListMenu ActiveTransfersPage::MakeMenu(Kind kind)
{
    ListMenu made;
    made.menu = new QMenu(this);
    made.menu->setObjectName(kind == Kind::Downloads ? QStringLiteral("DownloadsMenu")
                                                     : QStringLiteral("UploadsMenu"));
    made.show = made.menu->addAction(tr("Show"), this, [this, kind] { ToggleSelected(kind); });
    made.menu->setDefaultAction(made.show);
    made.menu->addSeparator();
    made.menu->addAction(tr("Show all Active"), this, [this, kind] { ShowAllActive(kind, true); });
    made.menu->addAction(tr("Hide all Active"), this, [this, kind] { ShowAllActive(kind, false); });
    made.menu->addAction(tr("Clear all Inactive"), this, [this, kind] { ClearAllInactive(kind); });
    made.menu->addSeparator();
    if (kind == Kind::Downloads) {
        made.menu->addAction(PictureIcon(Picture::Policies), tr("Incoming Connections Policies"),
                             this, &ActiveTransfersPage::policiesRequested);
    } else {
        made.menu->addAction(PictureIcon(Picture::OpenFile), tr("New File Send"), this,
                             &ActiveTransfersPage::ChooseFileToSend);
        made.menu->addAction(PictureIcon(Picture::OpenFolder), tr("New Directory Send"), this,
                             &ActiveTransfersPage::ChooseDirectoryToSend);
    }
    return made;
}

QWidget* ActiveTransfersPage::SelectedWindow(Kind kind) const
{
    const TransferListView* list = view(kind);
    const int row = list->SelectedRow();
    if (row < 0 || !list->list().IsActive(row))
        return nullptr;
    return m_windowOf ? m_windowOf(list->list().TransferAt(row)) : nullptr;
}

QMenu* ActiveTransfersPage::PrepareMenu(Kind kind)
{
    ListMenu& made = menuOf(kind);
    QWidget* window = SelectedWindow(kind);
    made.show->setVisible(window != nullptr);
    if (window) {
        const bool visible = window->isVisible();
        made.show->setText(visible ? tr("Hide") : tr("Show"));
        made.show->setIcon(PictureIcon(visible ? Picture::Hide : Picture::Show));
    }
    return made.menu;
}

void ActiveTransfersPage::Reveal(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void ActiveTransfersPage::ToggleSelected(Kind kind)
{
    QWidget* window = SelectedWindow(kind);
    if (!window)
        return;
    if (window->isVisible())
        window->hide();
    else
        Reveal(window);
}

void ActiveTransfersPage::ShowAllActive(Kind kind, bool show)
{
    for (QObject* transfer : m_hub.ActiveTransfers(kind)) {
        QWidget* window = m_windowOf ? m_windowOf(transfer) : nullptr;
        if (!window)
            continue;
        if (show)
            Reveal(window);
        else
            window->hide();
    }
}

void ActiveTransfersPage::ClearAllInactive(Kind kind)
{
    m_hub.ClearInactive(kind);
}

void ActiveTransfersPage::ChooseFileToSend()
{
    const QString path = m_dialogs.OpenFileName(window(), tr("New File Send"), tr("All files (*)"));
    if (!path.isEmpty())
        emit sendPathChosen(path);
}

void ActiveTransfersPage::ChooseDirectoryToSend()
{
    const QString path =
        m_dialogs.ExistingDirectory(window(), tr("Select Directory"), QDir::homePath());
    if (!path.isEmpty())
        emit sendPathChosen(path);
}

} // namespace vantrel
