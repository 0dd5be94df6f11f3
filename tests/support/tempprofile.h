#pragma once

#include "core/base/programfolder.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace vantrel::test {

// A throwaway folder for one test: removed with the object.
class TempFolder
{
public:
    TempFolder();
    const QString& path() const { return m_path; }
    QString file(const QString& name) const { return m_path + QLatin1Char('/') + name; }
    // Writes bytes to a file below the folder, creating parent folders.
    void write(const QString& relativeName, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Runs the Qt event loop until `done` holds or the timeout passes; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// The build folder (where libzipbridge.so lives), from VANTREL_BUILD_DIR or the binary's folder.
QString BuildFolder();

} // namespace vantrel::test
