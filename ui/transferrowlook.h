#pragma once

#include <QHash>
#include <QIcon>
#include <QIdentityProxyModel>

namespace vantrel {

// How a transfer list's rows look: the state icon before the host, the file-type (or folder)
// icon before the file name, the columns' alignment, and the colours that tell live rows
// (bold; navy in DOWNLOADS, green in UPLOADS) from finished ones (plain black). The texts are
// the model's own.
class TransferRowLook : public QIdentityProxyModel
{
    Q_OBJECT
public:
    static inline const QColor LiveDownloadColor = QColor(0, 0, 0x80);
    static inline const QColor LiveUploadColor = QColor(0, 0x80, 0);

    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The icon of a file-list key: "folder", or a file name matched by its type.
    QIcon FileIcon(const QString& key) const;

private:
    bool IsDownloads() const;

    mutable QHash<QString, QIcon> m_typeIcons; // by MIME type name
};

} // namespace vantrel
