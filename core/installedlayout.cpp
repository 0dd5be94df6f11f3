#include "core/installedlayout.h"

#include <QDir>

namespace vantrel {

QString InstalledLayout::ComponentFolderFromProgram()
{
    return QStringLiteral(VANTREL_COMPONENT_FOLDER_FROM_PROGRAM);
}

QStringList InstalledLayout::ComponentFolders(const QString& executableFolder)
{
    if (executableFolder.isEmpty())
        return {};
    return {QDir::cleanPath(executableFolder),
            QDir::cleanPath(executableFolder + QLatin1Char('/') + ComponentFolderFromProgram())};
}

} // namespace vantrel
