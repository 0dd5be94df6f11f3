#include "ui/transferrowlook.h"

#include "core/base/transferlistmodel.h"
#include "widgets/pictures.h"

#include <QFont>
#include <QMimeDatabase>

namespace vantrel {

namespace {

Qt::Alignment ColumnAlignment(int column)
{
    switch (column) {
    case TransferListModel::Dirs:
    case TransferListModel::Files:
    case TransferListModel::Size:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TransferListModel::Speed:
    case TransferListModel::Progress:
        return Qt::AlignCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

bool TransferRowLook::IsDownloads() const
{
    const auto* list = qobject_cast<const TransferListModel*>(sourceModel());
    return list && list->kind() == TransferListModel::Kind::Downloads;
}

QIcon TransferRowLook::FileIcon(const QString& key) const
{
    if (key.isEmpty())
        return {};
    if (key == QLatin1String("folder"))
        return PictureIcon(Picture::Folder);
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(key, QMimeDatabase::MatchExtension);
    const auto cached = m_typeIcons.constFind(type.name());
    if (cached != m_typeIcons.constEnd())
        return *cached;
    const QIcon icon = QIcon::fromTheme(
        type.iconName(), QIcon::fromTheme(type.genericIconName(), PictureIcon(Picture::File)));
    m_typeIcons.insert(type.name(), icon);
    return icon;
}

QVariant TransferRowLook::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DecorationRole:
        if (index.column() == TransferListModel::Host)
            return StateSlotIcon(index.data(TransferListModel::StateIconRole).toInt());
        if (index.column() == TransferListModel::FileName)
            return FileIcon(index.data(TransferListModel::FileIconRole).toString());
        return {};
    case Qt::ForegroundRole:
        if (index.data(TransferListModel::FinishedRole).toBool())
            return QColor(Qt::black);
        return IsDownloads() ? LiveDownloadColor : LiveUploadColor;
    case Qt::FontRole: {
        // Only the weight is set: the view's own font fills in the rest.
        QFont font;
        font.setBold(!index.data(TransferListModel::FinishedRole).toBool());
        return font;
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()));
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

QVariant TransferRowLook::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(section));
    return QIdentityProxyModel::headerData(section, orientation, role);
}

} // namespace vantrel
