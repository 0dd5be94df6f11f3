#include "receive/resunit.h"

#include "receive/resumecache.h"
#include "widgets/reportlist.h"
#include "widgets/userdialogs.h"

#include <QHeaderView>
#include <QMenu>
#include <QShowEvent>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vantrel {

namespace {

struct Column
{
    const char* title;
    int width;
    Qt::Alignment alignment;
};

constexpr Qt::Alignment Right = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Column Columns[] = {
    {QT_TRANSLATE_NOOP("vantrel::TResForm", "ID"), 60, Left},
    {QT_TRANSLATE_NOOP("vantrel::TResForm", "FileName"), 220, Left},
    {QT_TRANSLATE_NOOP("vantrel::TResForm", "Dirs"), 80, Right},
    {QT_TRANSLATE_NOOP("vantrel::TResForm", "Files"), 80, Right},
    {QT_TRANSLATE_NOOP("vantrel::TResForm", "Bytes"), 80, Right},
    {QT_TRANSLATE_NOOP("vantrel::TResForm", "Actual Size"), 80, Right},
    {QT_TRANSLATE_NOOP("vantrel::TResForm", "Progress"), 60, Qt::AlignCenter},
};
constexpr int ColumnCount = int(std::size(Columns));

} // namespace

TResForm::TResForm(ResumeCache& cache, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_cache(cache), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TResForm"));
    setWindowTitle(tr("Cached Compressed Resumes"));
    setSizeGripEnabled(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ResList"));
    SetUpReportList(m_list);
    m_list->setToolTip(tr("Right-click to show contex menu"));
    m_list->setColumnCount(ColumnCount);
    auto* header = new QTreeWidgetItem;
    for (int c = 0; c < ColumnCount; ++c) {
        header->setText(c, tr(Columns[c].title));
        header->setTextAlignment(c, Columns[c].alignment);
    }
    m_list->setHeaderItem(header);
    // The given widths, widened where the desktop's font needs more for a title.
    const QFontMetrics titleFont = m_list->header()->fontMetrics();
    int columnsWidth = 0;
    for (int c = 0; c < ColumnCount; ++c) {
        const int title = titleFont.horizontalAdvance(header->text(c)) + 2 * titleFont.height();
        m_list->setColumnWidth(c, std::max(Columns[c].width, title));
        columnsWidth += m_list->columnWidth(c);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("ResMenu"));
    m_deleteOne = m_menu->addAction(tr("Delete this resume"));
    m_deleteOne->setObjectName(QStringLiteral("DeleteResume"));
    m_deleteAll = m_menu->addAction(tr("Delete all resumes"));
    m_deleteAll->setObjectName(QStringLiteral("DeleteAllResumes"));

    connect(m_list, &QWidget::customContextMenuRequested, this, &TResForm::ShowMenu);
    connect(m_deleteOne, &QAction::triggered, this, &TResForm::DeleteSelected);
    connect(m_deleteAll, &QAction::triggered, this, &TResForm::DeleteAll);
    connect(&m_cache, &ResumeCache::changed, this, &TResForm::Refresh);

    // The starting size, wide enough for every column without a scroll bar.
    const int frame = 2 * m_list->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    resize(std::max(633, columnsWidth + frame), 228);
    Refresh();
}

void TResForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Refresh();
}

void TResForm::Refresh()
{
    const std::optional<std::uint32_t> selected = SelectedId();
    m_list->clear();
    for (const ResumeEntry& entry : m_cache.entries()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setData(0, Qt::UserRole, entry.id);
        const QString texts[ColumnCount] = {QString::number(entry.id),
                                            QString::fromUtf8(entry.fileName),
                                            QString::number(entry.dirCount),
                                            QString::number(entry.fileCount),
                                            QString::number(entry.totalSize),
                                            entry.ActualSizeText(),
                                            entry.ProgressText()};
        for (int c = 0; c < ColumnCount; ++c) {
            item->setText(c, texts[c]);
            item->setTextAlignment(c, Columns[c].alignment);
        }
        if (selected && *selected == entry.id)
            m_list->setCurrentItem(item);
    }
}

std::optional<std::uint32_t> TResForm::SelectedId() const
{
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    if (items.isEmpty())
        return std::nullopt;
    return items.first()->data(0, Qt::UserRole).toUInt();
}

void TResForm::ShowMenu(const QPoint& pos)
{
    m_deleteOne->setVisible(SelectedId().has_value());
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void TResForm::DeleteSelected()
{
    // The id, not the row: the list may change while the question is open.
    const std::optional<std::uint32_t> id = SelectedId();
    if (!id)
        return;
    if (!m_dialogs.Question(this, tr("Delete Confirmation"),
                            tr("Do you really want to delete this resume?")))
        return;
    m_cache.Discard(*id);
}

void TResForm::DeleteAll()
{
    // The entries the user was asked about, not ones that arrive while the question is open.
    std::vector<std::uint32_t> ids;
    for (const ResumeEntry& entry : m_cache.entries())
        ids.push_back(entry.id);
    if (!m_dialogs.Question(this, tr("Delete Confirmation"),
                            tr("Do you really want to delete all resumes?")))
        return;
    for (std::uint32_t id : ids)
        m_cache.Discard(id);
}

} // namespace vantrel
