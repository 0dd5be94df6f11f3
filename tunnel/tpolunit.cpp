#include "tunnel/tpolunit.h"

#include "tunnel/incomingpolicy.h"
#include "widgets/reportlist.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vantrel {

namespace {

struct ModeButton
{
    PolicyMode mode;
    const char* objectName;
    const char* text;
};

constexpr ModeButton ModeButtons[] = {
    {PolicyMode::AcceptAll, "AcceptAllBtn",
     QT_TRANSLATE_NOOP("vantrel::TTPolForm", "Accept from all")},
    {PolicyMode::DenyAll, "DenyAllBtn", QT_TRANSLATE_NOOP("vantrel::TTPolForm", "Deny from all")},
    {PolicyMode::AcceptOnly, "AcceptOnlyBtn",
     QT_TRANSLATE_NOOP("vantrel::TTPolForm", "Accept only from ...")},
    {PolicyMode::AcceptExcept, "AcceptExceptBtn",
     QT_TRANSLATE_NOOP("vantrel::TTPolForm", "Accept all except...")},
};

constexpr int StartWidth = 353;
constexpr int StartHeight = 253;
constexpr int HostsColumnWidth = 308;

} // namespace

TTPolForm::TTPolForm(IncomingPolicy& policy, QWidget* parent) : QDialog(parent), m_policy(policy)
{
    setObjectName(QStringLiteral("TTPolForm"));
    setWindowTitle(tr("Incoming Connections Policies"));
    // A tool window with a caption and a sizing border, without title-bar buttons.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_modes = new QButtonGroup(this);
    auto* radios = new QVBoxLayout;
    for (const ModeButton& button : ModeButtons) {
        auto* radio = new QRadioButton(tr(button.text), this);
        radio->setObjectName(QLatin1String(button.objectName));
        m_modes->addButton(radio, int(button.mode));
        radios->addWidget(radio);
    }

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addLayout(radios);
    top->addStretch();
    top->addWidget(ok, 0, Qt::AlignTop);

    m_list = new QTableWidget(0, 1, this);
    m_list->setObjectName(QStringLiteral("AcList"));
    m_list->setHorizontalHeaderLabels({tr("Hosts List")});
    m_list->horizontalHeader()->setSectionsClickable(false);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setColumnWidth(0, HostsColumnWidth);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setMinimumSectionSize(0);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->setShowGrid(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_list->setToolTip(tr("Right click to Add/Remove Hosts"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("AcMenu"));
    m_add = m_menu->addAction(tr("Add Host"));
    m_add->setObjectName(QStringLiteral("AddHost"));
    m_delete = m_menu->addAction(tr("Delete Host"));
    m_delete->setObjectName(QStringLiteral("DeleteHost"));

    connect(ok, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_modes, &QButtonGroup::idClicked, this,
            [this](int id) { m_policy.SetMode(static_cast<PolicyMode>(id)); });
    connect(m_list, &QWidget::customContextMenuRequested, this, &TTPolForm::ShowMenu);
    connect(m_list, &QTableWidget::itemChanged, this, &TTPolForm::OnItemChanged);
    connect(m_add, &QAction::triggered, this, &TTPolForm::AddHost);
    connect(m_delete, &QAction::triggered, this, &TTPolForm::DeleteHost);

    resize(StartWidth, StartHeight);
    Refresh();
}

void TTPolForm::reject() {}

void TTPolForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    Refresh();
    if (!m_sized) {
        // The width stays as it starts (wider only if the desktop's font needs it); the height
        // grows freely but not below its start.
        m_sized = true;
        const QSize start = size().expandedTo(minimumSizeHint());
        setFixedWidth(start.width());
        setMinimumHeight(start.height());
    }
}

void TTPolForm::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4) is refused: "OK" hides the window.
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

bool TTPolForm::eventFilter(QObject* watched, QEvent* event)
{
    // Return left over by an open edit comes up to the list as well: it must not start another.
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int row = SelectedRow(*m_list);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && row >= 0) {
            const QModelIndex index = m_list->model()->index(row, 0);
            if (!m_list->indexWidget(index))
                m_list->edit(index);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TTPolForm::Refresh()
{
    if (QAbstractButton* button = m_modes->button(int(m_policy.mode())))
        button->setChecked(true);
    const QSignalBlocker block(m_list);
    m_list->setRowCount(0);
    for (const QString& host : m_policy.hosts())
        AppendRow(host);
}

void TTPolForm::AppendRow(const QString& text)
{
    const QSignalBlocker block(m_list);
    const int row = m_list->rowCount();
    m_list->insertRow(row);
    m_list->setItem(row, 0, new QTableWidgetItem(text));
}

void TTPolForm::ShowMenu(const QPoint& pos)
{
    m_delete->setVisible(SelectedRow(*m_list) >= 0);
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void TTPolForm::AddHost()
{
    m_policy.AddHost();
    AppendRow(IncomingPolicy::NewHostText);
}

void TTPolForm::DeleteHost()
{
    const int row = SelectedRow(*m_list);
    if (row < 0)
        return;
    m_policy.RemoveHost(row);
    const QSignalBlocker block(m_list);
    m_list->removeRow(row);
}

void TTPolForm::OnItemChanged(QTableWidgetItem* item)
{
    const int row = item->row();
    m_policy.EditHost(row, item->text());
    // An empty text keeps the entry as it was; the list shows what the policy holds.
    const QStringList hosts = m_policy.hosts();
    if (row < hosts.size() && item->text() != hosts.at(row)) {
        const QSignalBlocker block(m_list);
        item->setText(hosts.at(row));
    }
}

} // namespace vantrel
