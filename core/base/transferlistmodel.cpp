#include "core/base/transferlistmodel.h"

#include <algorithm>

namespace vantrel {

namespace {

const char* const HeaderTexts[TransferListModel::ColumnCount] = {
    "Host", "NickName", "FileName", "Dirs", "Files", "Size", "Status", "Speed", "Progress",
};

} // namespace

TransferListModel::TransferListModel(Kind kind, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind)
{
}

TransferListModel::RowId TransferListModel::InsertTop(QObject* transfer, const QString& caption)
{
    Row row;
    row.id = m_nextId++;
    row.cells.fill(QStringLiteral("-"));
    row.cells[Host] = caption;
    row.transfer = transfer;
    row.linked = transfer != nullptr;
    beginInsertRows(QModelIndex(), 0, 0);
    m_rows.insert(m_rows.begin(), std::move(row));
    endInsertRows();
    return m_rows.front().id;
}

void TransferListModel::Attach(RowId id, QObject* transfer)
{
    Row* row = Find(id);
    if (!row || !transfer)
        return;
    row->transfer = transfer;
    row->linked = true;
    EmitRowChanged(id);
}

bool TransferListModel::Contains(RowId id) const
{
    return Find(id) != nullptr;
}

void TransferListModel::SetCell(RowId id, Column column, const QString& text)
{
    Row* row = Find(id);
    if (!row || column < 0 || column >= ColumnCount || row->cells[column] == text)
        return;
    row->cells[column] = text;
    const QModelIndex cell = index(RowOf(id), column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

QString TransferListModel::Cell(RowId id, Column column) const
{
    const Row* row = Find(id);
    if (!row || column < 0 || column >= ColumnCount)
        return {};
    return row->cells[column];
}

void TransferListModel::SetStateIcon(RowId id, IconSlot slot)
{
    Row* row = Find(id);
    if (!row || row->stateIcon == slot)
        return;
    row->stateIcon = slot;
    // The icon decides whether the whole row is drawn finished or live.
    EmitRowChanged(id);
}

TransferListModel::IconSlot TransferListModel::StateIcon(RowId id) const
{
    const Row* row = Find(id);
    return row ? row->stateIcon : NoIcon;
}

void TransferListModel::SetFileIcon(RowId id, const QString& key)
{
    Row* row = Find(id);
    if (!row || row->fileIcon == key)
        return;
    row->fileIcon = key;
    const QModelIndex cell = index(RowOf(id), FileName);
    emit dataChanged(cell, cell, {FileIconRole, Qt::DecorationRole});
}

QString TransferListModel::FileIcon(RowId id) const
{
    const Row* row = Find(id);
    return row ? row->fileIcon : QString();
}

void TransferListModel::Detach(RowId id)
{
    Row* row = Find(id);
    if (!row || (!row->linked && !row->transfer))
        return;
    row->linked = false;
    row->transfer = nullptr;
    EmitRowChanged(id);
}

void TransferListModel::ClearInactive()
{
    // Remove runs of inactive rows from the bottom up, so that earlier indexes stay valid and
    // each run is one removal.
    int end = static_cast<int>(m_rows.size());
    while (end > 0) {
        while (end > 0 && IsActive(end - 1))
            --end;
        int begin = end;
        while (begin > 0 && !IsActive(begin - 1))
            --begin;
        if (begin < end) {
            beginRemoveRows(QModelIndex(), begin, end - 1);
            m_rows.erase(m_rows.begin() + begin, m_rows.begin() + end);
            endRemoveRows();
        }
        end = begin;
    }
}

std::vector<QObject*> TransferListModel::ActiveTransfers() const
{
    std::vector<QObject*> transfers;
    for (int row = 0; row < rowCount(); ++row) {
        if (IsActive(row))
            transfers.push_back(TransferAt(row));
    }
    return transfers;
}

QObject* TransferListModel::TransferAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    const Row& entry = m_rows[static_cast<std::size_t>(row)];
    return entry.linked ? entry.transfer.data() : nullptr;
}

bool TransferListModel::IsActive(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    const Row& entry = m_rows[static_cast<std::size_t>(row)];
    // A transfer destroyed without reporting its closing leaves no live row behind.
    return entry.linked && !entry.transfer.isNull();
}

TransferListModel::RowId TransferListModel::IdAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return 0;
    return m_rows[static_cast<std::size_t>(row)].id;
}

int TransferListModel::RowOf(RowId id) const
{
    const auto found =
        std::find_if(m_rows.begin(), m_rows.end(), [id](const Row& row) { return row.id == id; });
    return found == m_rows.end() ? -1 : static_cast<int>(found - m_rows.begin());
}

int TransferListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TransferListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TransferListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return row.cells[static_cast<std::size_t>(index.column())];
    case StateIconRole:
        return static_cast<int>(row.stateIcon);
    case FileIconRole:
        return row.fileIcon;
    case FinishedRole:
        return IsFinished(row);
    case ActiveRole:
        return IsActive(index.row());
    case RowIdRole:
        return QVariant::fromValue<quint64>(row.id);
    default:
        return {};
    }
}

QVariant TransferListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromLatin1(HeaderTexts[section]);
}

bool TransferListModel::IsFinished(const Row& row) const
{
    if (m_kind == Kind::Downloads)
        return row.stateIcon == IconStopped || row.stateIcon == IconReceiveCompleted ||
               row.stateIcon == IconDropped;
    return row.stateIcon == IconSendCompleted || row.stateIcon == IconStopped;
}

TransferListModel::Row* TransferListModel::Find(RowId id)
{
    const auto found =
        std::find_if(m_rows.begin(), m_rows.end(), [id](const Row& row) { return row.id == id; });
    return found == m_rows.end() ? nullptr : &*found;
}

const TransferListModel::Row* TransferListModel::Find(RowId id) const
{
    const auto found =
        std::find_if(m_rows.begin(), m_rows.end(), [id](const Row& row) { return row.id == id; });
    return found == m_rows.end() ? nullptr : &*found;
}

void TransferListModel::EmitRowChanged(RowId id)
{
    const int row = RowOf(id);
    if (row < 0)
        return;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

} // namespace vantrel
