#pragma once

#include <QString>
#include <QStringList>

namespace vantrel {

// Where an installed program keeps what it ships beside itself. Everything is found relative
// to the executable's own folder, so an installation moved to another prefix still works and
// a program run from its build folder finds its files there.
class InstalledLayout
{
public:
    // The installed component folder (such as "../lib/x86_64-linux-gnu/vantrel"), relative to
    // the folder of the executable.
    static QString ComponentFolderFromProgram();

    // The folders libzipbridge.so is looked for in, in order: the executable's own folder
    // (a build folder), then the installed component folder.
    static QStringList ComponentFolders(const QString& executableFolder);
};

} // namespace vantrel
