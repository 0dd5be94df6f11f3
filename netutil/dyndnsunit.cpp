#include "netutil/dyndnsunit.h"

#include "netutil/dyndnsbook.h"
#include "netutil/dyndnsrefresher.h"
#include "widgets/gradientprogressbar.h"
#include "widgets/pictures.h"
#include "widgets/reportlist.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vantrel {

namespace {

constexpr int StartWidth = 447;
constexpr int StartHeight = 252;
constexpr int ColumnWidth = 200;
constexpr int MinutesWidth = 41;
constexpr int HostColumn = 0;
constexpr int AddressColumn = 1;

} // namespace

TDynDNS::TDynDNS(DynDnsBook& book, DynDnsRefresher& refresher, QWidget* parent)
    : QWidget(parent, Qt::Window), m_book(book), m_refresher(refresher)
{
    setObjectName(QStringLiteral("TDynDNS"));
    setWindowTitle(tr("Dynamic DNS Address Book"));
    setWindowIcon(PictureIcon(Picture::DynDns));

    m_list = new QTableWidget(0, 2, this);
    m_list->setObjectName(QStringLiteral("HList"));
    m_list->setHorizontalHeaderLabels({tr("Host"), tr("Actual IP Address")});
    m_list->horizontalHeader()->setSectionsClickable(false);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setColumnWidth(HostColumn, ColumnWidth);
    m_list->setColumnWidth(AddressColumn, ColumnWidth);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setMinimumSectionSize(0);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->setShowGrid(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_list->setToolTip(tr("Left click to edit an item, Right click to Add/Remove Hosts"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    m_progress = new GradientProgressBar(this);
    m_progress->setObjectName(QStringLiteral("RefProgress"));
    m_progress->setTextVisible(false);

    auto* every = new QLabel(tr("Auto-Refresh every"), this);
    m_minutes = new QLineEdit(m_refresher.periodText(), this);
    m_minutes->setObjectName(QStringLiteral("ARMin"));
    m_minutes->setMinimumWidth(MinutesWidth);
    m_minutes->setMaximumWidth(std::max(
        MinutesWidth, m_minutes->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12));
    every->setBuddy(m_minutes);
    auto* minutes = new QLabel(tr("minutes"), this);
    m_refresh = new QPushButton(tr("Force Refresh Now"), this);
    m_refresh->setObjectName(QStringLiteral("RefBtn"));
    m_refresh->setAutoDefault(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(every);
    bottom->addWidget(m_minutes);
    bottom->addWidget(minutes);
    bottom->addStretch();
    bottom->addWidget(m_refresh);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_progress);
    layout->addLayout(bottom);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("HMenu"));
    m_add = m_menu->addAction(tr("Add Host"));
    m_add->setObjectName(QStringLiteral("AddHost"));
    m_delete = m_menu->addAction(tr("Delete Host"));
    m_delete->setObjectName(QStringLiteral("DeleteHost"));

    connect(m_list, &QWidget::customContextMenuRequested, this, &TDynDNS::ShowMenu);
    connect(m_list, &QTableWidget::itemChanged, this, &TDynDNS::OnItemChanged);
    connect(m_add, &QAction::triggered, this, &TDynDNS::AddHost);
    connect(m_delete, &QAction::triggered, this, &TDynDNS::DeleteHost);
    connect(m_refresh, &QPushButton::clicked, &m_refresher, &DynDnsRefresher::RefreshAll);
    connect(m_minutes, &QLineEdit::textEdited, &m_refresher, &DynDnsRefresher::SetPeriodText);
    connect(&m_refresher, &DynDnsRefresher::periodTextChanged, this, [this](const QString& text) {
        if (m_minutes->text() != text)
            m_minutes->setText(text);
    });
    connect(&m_refresher, &DynDnsRefresher::viewChanged, this, [this] {
        ShowPass();
        ShowBook();
    });

    resize(StartWidth, StartHeight);
    ShowPass();
    ShowBook();
}

void TDynDNS::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Entries the send window added meanwhile appear.
    ShowBook();
}

void TDynDNS::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
}

void TDynDNS::ShowPass()
{
    const DynDnsRefresher::View& view = m_refresher.view();
    m_list->setEnabled(!view.running);
    m_refresh->setEnabled(!view.running);
    // A range of 0 to 0 would show a busy bar: an empty book shows an empty one.
    m_progress->setRange(0, std::max(view.total, 1));
    m_progress->setValue(view.done);
}

void TDynDNS::ShowBook()
{
    const std::vector<DynDnsBook::Entry> entries = m_book.entries();
    const QSignalBlocker block(m_list);
    const int count = int(entries.size());
    const bool sameRows = m_list->rowCount() == count;
    if (!sameRows)
        m_list->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        if (!sameRows || !m_list->item(row, HostColumn)) {
            m_list->setItem(row, HostColumn, new QTableWidgetItem(entries[row].host));
        } else if (m_list->item(row, HostColumn)->text() != entries[row].host) {
            m_list->item(row, HostColumn)->setText(entries[row].host);
        }
        auto* address = new QTableWidgetItem(entries[row].address);
        address->setFlags(address->flags() & ~Qt::ItemIsEditable);
        m_list->setItem(row, AddressColumn, address);
    }
}

void TDynDNS::ShowMenu(const QPoint& pos)
{
    m_delete->setEnabled(SelectedRow(*m_list) >= 0);
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void TDynDNS::AddHost()
{
    m_book.AddHost();
    ShowBook();
}

void TDynDNS::DeleteHost()
{
    const int row = SelectedRow(*m_list);
    if (row < 0)
        return;
    m_book.RemoveEntry(row);
    const QSignalBlocker block(m_list);
    m_list->removeRow(row);
}

void TDynDNS::OnItemChanged(QTableWidgetItem* item)
{
    if (item->column() != HostColumn)
        return;
    m_book.EditHost(item->row(), item->text());
    // An empty text keeps the entry as it was: the row shows what the book holds.
    ShowBook();
}

} // namespace vantrel
