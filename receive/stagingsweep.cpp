#include "receive/stagingsweep.h"

#include "receive/stagingname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtDebug>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace vantrel {

namespace {

bool ProcessIsGone(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) == -1 && errno == ESRCH;
}

// The names in the folder open at `fd` (which the call takes over), "." and ".." left out.
bool ListFolder(int fd, std::vector<std::string>* names)
{
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        ::close(fd);
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(name);
    }
    const bool complete = errno == 0;
    ::closedir(folder);
    return complete;
}

// Empties the folder `name` in the folder open at `parentFd`, then removes it; every step is
// taken relative to an open folder and refuses links, so that nothing swapped in meanwhile
// leads outside.
bool RemoveFolderAt(int parentFd, const std::string& name, int depth)
{
    if (depth > 256)
        return false;
    constexpr int Flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parentFd, name.c_str(), Flags);
    // A folder the archive gave no owner rights: give them back, then open it.
    if (fd < 0 && errno == EACCES && ::fchmodat(parentFd, name.c_str(), 0700, 0) == 0)
        fd = ::openat(parentFd, name.c_str(), Flags);
    if (fd < 0)
        return false;
    struct stat st = {};
    if (::fstat(fd, &st) == 0 && (st.st_mode & 0700) != 0700)
        ::fchmod(fd, (st.st_mode & 07777) | 0700);
    const int listFd = ::dup(fd);
    std::vector<std::string> names;
    bool ok = listFd >= 0 && ListFolder(listFd, &names);
    for (const std::string& entry : names) {
        struct stat inner = {};
        if (::fstatat(fd, entry.c_str(), &inner, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(inner.st_mode))
            ok = RemoveFolderAt(fd, entry, depth + 1) && ok;
        else
            ok = ::unlinkat(fd, entry.c_str(), 0) == 0 && ok;
    }
    ::close(fd);
    return ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0 && ok;
}

} // namespace

bool StagingSweep::RemoveTree(const QString& path)
{
    const QFileInfo info(path);
    const QByteArray parent = QFile::encodeName(info.absolutePath());
    const std::string name = QFile::encodeName(info.fileName()).toStdString();
    if (name.empty() || name == "." || name == "..")
        return false;
    const int parentFd = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return false;
    const bool removed = RemoveFolderAt(parentFd, name, 0);
    ::close(parentFd);
    return removed;
}

QStringList StagingSweep::Sweep(const QStringList& folders)
{
    QStringList removed;
    QSet<QString> seen;
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical))
            continue;
        seen.insert(canonical);
        const int fd =
            ::open(QFile::encodeName(canonical).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const int listFd = ::dup(fd);
        std::vector<std::string> names;
        if (listFd >= 0)
            ListFolder(listFd, &names);
        for (const std::string& name : names) {
            const std::optional<StagingName::Parsed> staging = StagingName::Parse(name);
            if (!staging || !ProcessIsGone(staging->pid))
                continue;
            // Only what the writers make under such a name: a plain file, or a folder.
            struct stat st = {};
            if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            bool gone = false;
            if (staging->kind == StagingName::Kind::File && S_ISREG(st.st_mode))
                gone = ::unlinkat(fd, name.c_str(), 0) == 0;
            else if (staging->kind == StagingName::Kind::Folder && S_ISDIR(st.st_mode))
                gone = RemoveFolderAt(fd, name, 0);
            else
                continue;
            const QString path = QDir(canonical).filePath(QFile::decodeName(name.c_str()));
            if (gone) {
                qInfo().noquote() << QStringLiteral("Removed %1, left by a receive of process %2")
                                         .arg(path)
                                         .arg(staging->pid);
                removed.append(path);
            } else {
                qWarning().noquote()
                    << QStringLiteral("Could not remove all of %1, left by a receive of process %2")
                           .arg(path)
                           .arg(staging->pid);
            }
        }
        ::close(fd);
    }
    return removed;
}

} // namespace vantrel
