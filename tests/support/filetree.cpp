#include "tests/support/filetree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace vantrel::test {

std::map<QString, QByteArray> TreeOf(const QString& root)
{
    std::map<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            tree[relative + QLatin1Char('/')] = {};
        } else {
            QFile file(path);
            tree[relative] =
                file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
        }
    }
    return tree;
}

} // namespace vantrel::test
