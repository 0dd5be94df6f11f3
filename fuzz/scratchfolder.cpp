#include "scratchfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace vantrel::fuzz {

ScratchFolder::ScratchFolder()
    : m_dir(std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                            QStringLiteral("/vantrel-fuzz-XXXXXX")))
{
    if (!m_dir->isValid())
        Fail("cannot make a scratch folder");
    m_path = m_dir->path();
}

ScratchFolder::~ScratchFolder() = default;

QString ScratchFolder::file(const QString& relativeName) const
{
    return m_path + QLatin1Char('/') + relativeName;
}

void ScratchFolder::Empty() const
{
    // An extracted folder may have come without owner rights; they are given back first.
    QDirIterator folders(m_path,
                         QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                         QDirIterator::Subdirectories);
    while (folders.hasNext())
        QFile::setPermissions(folders.next(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QDir root(m_path);
    for (const QFileInfo& info : root.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                    QDir::Hidden | QDir::System)) {
        if (info.isDir() && !info.isSymLink())
            QDir(info.filePath()).removeRecursively();
        else
            QFile::remove(info.filePath());
    }
    if (!root.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        Fail("the scratch folder cannot be emptied");
}

QStringList ScratchFolder::Entries() const
{
    QStringList entries;
    const QDir root(m_path);
    QDirIterator it(m_path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(root.relativeFilePath(it.next()));
    entries.sort();
    return entries;
}

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace vantrel::fuzz
