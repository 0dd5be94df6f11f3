#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace vantrel {

// One of the two transfer lists (DOWNLOADS or UPLOADS). Rows are addressed by a stable id so
// that a transfer can keep updating its row while newer rows are inserted above it. A row is
// active while it is linked to its transfer, inactive once the transfer has closed (or if it
// never had one, like a dropped request).
class TransferListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Kind { Downloads, Uploads };
    enum Column { Host, NickName, FileName, Dirs, Files, Size, Status, Speed, Progress, ColumnCount };
    enum Role {
        StateIconRole = Qt::UserRole + 1, // int: an IconSlot
        FileIconRole,                     // QString: "folder" or a file name to match a type icon
        FinishedRole,                     // bool: drawn plain (finished) rather than bold (live)
        ActiveRole,                       // bool
        RowIdRole,                        // quint64
    };

    // The state icons' slots in the image list both lists share.
    enum IconSlot : int
    {
        NoIcon = -1,
        IconWaiting = 0,
        IconTransferring = 1,
        IconSendCompleted = 2,
        IconStopped = 3,
        IconCompressing = 11,
        IconReceiveCompleted = 12,
        IconDropped = 13,
    };

    using RowId = std::uint64_t;

    explicit TransferListModel(Kind kind, QObject* parent = nullptr);

    Kind kind() const { return m_kind; }

    // Inserts a row at the top; every cell "-", or `caption` for Host. `transfer` may be null
    // (an inactive row from the start).
    RowId InsertTop(QObject* transfer, const QString& caption = QStringLiteral("-"));
    // Links a row to its transfer once the transfer, which needs its row to be built, exists.
    void Attach(RowId id, QObject* transfer);
    bool Contains(RowId id) const;
    void SetCell(RowId id, Column column, const QString& text);
    QString Cell(RowId id, Column column) const;
    void SetStateIcon(RowId id, IconSlot slot);
    IconSlot StateIcon(RowId id) const;
    void SetFileIcon(RowId id, const QString& key);
    QString FileIcon(RowId id) const;
    // The row becomes inactive and keeps its texts.
    void Detach(RowId id);
    void ClearInactive();
    // The transfers of the active rows, top to bottom ("Show all Active", "Hide all Active").
    std::vector<QObject*> ActiveTransfers() const;

    QObject* TransferAt(int row) const;
    bool IsActive(int row) const;
    RowId IdAt(int row) const;
    int RowOf(RowId id) const; // -1 when gone

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        RowId id = 0;
        std::array<QString, ColumnCount> cells;
        IconSlot stateIcon = NoIcon;
        QString fileIcon;
        QPointer<QObject> transfer;
        bool linked = false;
    };
    bool IsFinished(const Row& row) const;
    Row* Find(RowId id);
    const Row* Find(RowId id) const;
    void EmitRowChanged(RowId id);

    Kind m_kind;
    std::vector<Row> m_rows; // top first
    RowId m_nextId = 1;
};

} // namespace vantrel
