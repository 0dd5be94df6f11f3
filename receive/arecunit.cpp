#include "receive/arecunit.h"

#include "receive/autoreceiverules.h"
#include "widgets/reportlist.h"
#include "widgets/userdialogs.h"

#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vantrel {

namespace {

constexpr int MaxText = 511;

enum Column
{
    HostColumn,
    SaveDirColumn,
    BandLimitColumn,
    ColumnCount
};

bool IsHostChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.';
}

// Shows the message of a failed check.
void Report(UserDialogs& dialogs, QWidget* parent, AutoReceiveRules::Check check)
{
    if (check == AutoReceiveRules::Check::Ok)
        return;
    const AutoReceiveRules::Message message = AutoReceiveRules::CheckMessage(check);
    dialogs.Message(parent, message.warning ? QMessageBox::Warning : QMessageBox::Information,
                    message.title, message.text);
}

} // namespace

TARecForm::TARecForm(AutoReceiveRules& rules, std::function<QStringList()> recentHosts,
                     UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_rules(rules), m_recentHosts(std::move(recentHosts)), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TARecForm"));
    setWindowTitle(tr("Auto Receives Configuration"));
    setSizeGripEnabled(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ARList"));
    SetUpReportList(m_list);
    m_list->setToolTip(tr("Right-click to delete an item"));
    m_list->setHeaderLabels({tr("Host"), tr("Save Directory"), tr("Band Limit")});
    m_list->headerItem()->setTextAlignment(BandLimitColumn, Qt::AlignCenter);
    m_list->setColumnWidth(HostColumn, 210);
    m_list->setColumnWidth(SaveDirColumn, 210);
    // Wide enough for its title and for "No Limit" in the desktop's font.
    const QFontMetrics font = m_list->header()->fontMetrics();
    m_list->setColumnWidth(
        BandLimitColumn, std::max({90, font.horizontalAdvance(tr("Band Limit")) + 2 * font.height(),
                                   font.horizontalAdvance(tr("No Limit")) + 2 * font.height()}));

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("ARMenu"));
    m_delete = m_menu->addAction(tr("Delete this item"));
    m_delete->setObjectName(QStringLiteral("DeleteItem"));

    m_host = new QComboBox(this);
    m_host->setObjectName(QStringLiteral("HostCBox"));
    m_host->setEditable(true);
    m_host->setInsertPolicy(QComboBox::NoInsert);
    m_host->lineEdit()->setMaxLength(MaxText);
    m_host->completer()->setCompletionMode(QCompleter::PopupCompletion);
    m_host->completer()->setCaseSensitivity(Qt::CaseSensitive);

    m_saveDir = new QLineEdit(this);
    m_saveDir->setObjectName(QStringLiteral("SaveDir"));
    m_saveDir->setMaxLength(MaxText);
    m_browse = new QPushButton(tr("..."), this);
    m_browse->setObjectName(QStringLiteral("BrowseDir"));
    m_browse->setAutoDefault(false);

    m_bandLimit = new QLineEdit(QStringLiteral("0"), this);
    m_bandLimit->setObjectName(QStringLiteral("BLimit"));
    m_add = new QPushButton(tr("Add"), this);
    m_add->setObjectName(QStringLiteral("AddBtn"));
    m_add->setAutoDefault(false);
    m_modify = new QPushButton(tr("Modify"), this);
    m_modify->setObjectName(QStringLiteral("ModBtn"));
    m_modify->setAutoDefault(false);
    m_modify->setEnabled(false);

    auto* hostLabel = new QLabel(tr("Host"), this);
    hostLabel->setBuddy(m_host);
    auto* saveDirLabel = new QLabel(tr("Save Directory"), this);
    saveDirLabel->setBuddy(m_saveDir);
    auto* bandLimitLabel = new QLabel(tr("Band Limit"), this);
    bandLimitLabel->setBuddy(m_bandLimit);

    auto* fields = new QGridLayout;
    fields->addWidget(hostLabel, 0, 0);
    fields->addWidget(m_host, 0, 1, 1, 2);
    fields->addWidget(saveDirLabel, 1, 0);
    fields->addWidget(m_saveDir, 1, 1);
    fields->addWidget(m_browse, 1, 2);
    fields->addWidget(bandLimitLabel, 2, 0);
    auto* bandRow = new QHBoxLayout;
    // A limit has a handful of digits: the field need not take the whole row.
    m_bandLimit->setMaximumWidth(m_bandLimit->fontMetrics().horizontalAdvance(QLatin1Char('0')) *
                                 12);
    bandRow->addWidget(m_bandLimit);
    bandRow->addWidget(new QLabel(tr("Kb/Sec  (0 = No Limit)"), this));
    bandRow->addStretch();
    fields->addLayout(bandRow, 2, 1, 1, 2);
    fields->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_add);
    buttons->addWidget(m_modify);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &TARecForm::OnSelectionChanged);
    connect(m_list, &QTreeWidget::itemChanged, this, &TARecForm::OnItemChanged);
    connect(m_list, &QWidget::customContextMenuRequested, this, &TARecForm::ShowMenu);
    connect(m_delete, &QAction::triggered, this, &TARecForm::DeleteSelected);
    connect(m_browse, &QPushButton::clicked, this, &TARecForm::Browse);
    connect(m_add, &QPushButton::clicked, this, &TARecForm::AddRule);
    connect(m_modify, &QPushButton::clicked, this, &TARecForm::ModifyRule);
    connect(&m_rules, &AutoReceiveRules::changed, this, &TARecForm::Refresh);

    resize(551, 334);
    Refresh();
}

QString TARecForm::HostPart(const QString& entry)
{
    qsizetype end = 0;
    while (end < entry.size() && IsHostChar(entry.at(end)))
        ++end;
    return entry.left(end);
}

void TARecForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        OnShow();
}

void TARecForm::OnShow()
{
    m_list->clearSelection();
    m_list->setCurrentItem(nullptr);
    OnSelectionChanged();

    m_host->clear();
    const QStringList entries = m_recentHosts ? m_recentHosts() : QStringList();
    for (const QString& entry : entries) {
        if (entry.isEmpty())
            break;
        const QString host = HostPart(entry);
        if (!host.isEmpty())
            m_host->addItem(host);
    }
    m_host->setCurrentIndex(-1);
    m_host->setEditText(QString());
}

void TARecForm::Refresh()
{
    const int selected = SelectedRow();
    m_refreshing = true;
    {
        const QSignalBlocker block(m_list);
        m_list->clear();
        for (const AutoReceiveRule& rule : m_rules.rules()) {
            auto* item = new QTreeWidgetItem(m_list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(HostColumn, rule.enabled ? Qt::Checked : Qt::Unchecked);
            item->setText(HostColumn, rule.host);
            item->setText(SaveDirColumn, rule.saveFolder);
            item->setText(BandLimitColumn, rule.BandLimitText());
            item->setTextAlignment(BandLimitColumn, Qt::AlignCenter);
        }
        if (selected >= 0 && selected < m_list->topLevelItemCount())
            m_list->setCurrentItem(m_list->topLevelItem(selected));
    }
    m_refreshing = false;
    // A row that is gone counts as deselected; a kept one leaves the fields as typed.
    if (SelectedRow() != selected)
        OnSelectionChanged();
}

int TARecForm::SelectedRow() const
{
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? -1 : m_list->indexOfTopLevelItem(items.first());
}

void TARecForm::OnSelectionChanged()
{
    const int row = SelectedRow();
    m_modify->setEnabled(row >= 0);
    if (row < 0) {
        m_host->setEditText(QString());
        m_saveDir->clear();
        m_bandLimit->setText(QStringLiteral("0"));
        return;
    }
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    m_host->setEditText(item->text(HostColumn));
    m_saveDir->setText(item->text(SaveDirColumn));
    const QString band = item->text(BandLimitColumn);
    m_bandLimit->setText(band.startsWith(QLatin1Char('N')) ? QStringLiteral("0")
                                                           : band.section(QLatin1Char(' '), 0, 0));
}

void TARecForm::OnItemChanged(QTreeWidgetItem* item, int column)
{
    if (m_refreshing || column != HostColumn)
        return;
    m_rules.SetEnabled(m_list->indexOfTopLevelItem(item),
                       item->checkState(HostColumn) == Qt::Checked);
}

void TARecForm::ShowMenu(const QPoint& pos)
{
    m_delete->setEnabled(SelectedRow() >= 0);
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void TARecForm::DeleteSelected()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    // Deselect first, so that the fields empty as for any deselection.
    m_list->clearSelection();
    m_rules.Delete(row);
}

void TARecForm::Browse()
{
    const QString folder =
        m_dialogs.ExistingDirectory(this, tr("Select Directory"), m_saveDir->text());
    if (!folder.isEmpty())
        m_saveDir->setText(folder);
}

void TARecForm::AddRule()
{
    Report(m_dialogs, this,
           m_rules.Add({m_host->currentText(), m_saveDir->text(), m_bandLimit->text()}));
}

void TARecForm::ModifyRule()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    Report(m_dialogs, this,
           m_rules.Modify(row, {m_host->currentText(), m_saveDir->text(), m_bandLimit->text()}));
}

} // namespace vantrel
