#include "core/manualfiles.h"

#include "core/base/programfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>

namespace vantrel::manualfiles {

namespace {

// Leaves a file that already holds exactly these bytes untouched.
bool WriteIfDifferent(const QString& path, const QByteArray& bytes)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() &&
        existing.readAll() == bytes)
        return true;
    existing.close();
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

QStringList Refresh(const ProgramFolder& folder)
{
    QStringList failed;
    QFile manual(QStringLiteral(":/manual/VNTHELP.html"));
    if (!manual.open(QIODevice::ReadOnly) ||
        !WriteIfDifferent(folder.file(ManualFile), manual.readAll()))
        failed << ManualFile;

    QDirIterator pictures(QStringLiteral(":/manual/pictures"), QDir::Files);
    if (pictures.hasNext() && !QDir().mkpath(folder.file(QStringLiteral("manual"))))
        return failed << QStringLiteral("manual/");
    while (pictures.hasNext()) {
        const QString source = pictures.next();
        const QString name = QStringLiteral("manual/") + pictures.fileName();
        QFile picture(source);
        if (!picture.open(QIODevice::ReadOnly) ||
            !WriteIfDifferent(folder.file(name), picture.readAll()))
            failed << name;
    }
    return failed;
}

} // namespace vantrel::manualfiles
