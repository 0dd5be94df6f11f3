#include "receive/temparchive.h"

#include <QDir>
#include <QFile>

namespace vantrel {

QString CreateTempArchive(const QString& folder, const QString& prefix)
{
    QDir().mkpath(folder);
    // A bounded search: a folder that refuses new files fails every attempt the same way.
    constexpr unsigned MaxAttempts = 100000;
    for (unsigned n = 1; n <= MaxAttempts; ++n) {
        const QString path =
            folder + QLatin1Char('/') + prefix + QString::number(n) + QStringLiteral(".zip");
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!file.exists())
            return {}; // not a name clash: the folder itself refuses
    }
    return {};
}

} // namespace vantrel
