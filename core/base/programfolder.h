#pragma once

#include <QDir>
#include <QString>

namespace vantrel {

// The one place where the program folder's relative file names ("servercert.pem",
// "cachedreslist.vnt", "sounds/complete.wav", ...) are resolved. Every engine object is
// given one instead of relying on the process's current directory, so that two copies
// of the program can run inside one test process.
class ProgramFolder
{
public:
    ProgramFolder() = default;
    explicit ProgramFolder(QString path) : m_path(QDir::cleanPath(std::move(path))) {}

    const QString& path() const { return m_path; }
    bool isEmpty() const { return m_path.isEmpty(); }

    // A name relative to the program folder, such as "CachedResumes/3.resume".
    QString file(const QString& relativeName) const
    {
        return m_path.isEmpty() ? relativeName : m_path + QLatin1Char('/') + relativeName;
    }

    QString tempFolder() const { return file(QStringLiteral("Temp")); }
    QString cachedResumesFolder() const { return file(QStringLiteral("CachedResumes")); }
    QString soundsFolder() const { return file(QStringLiteral("sounds")); }

private:
    QString m_path;
};

} // namespace vantrel
