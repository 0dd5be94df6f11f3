#include "core/base/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel::atomicfile {

namespace {

// Every byte or nothing: a short write goes on, an error (EFBIG, ENOSPC, EIO) ends it.
bool WriteAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// A new file beside `target`, created exclusively so that it never meets another writer's.
int CreateBeside(const QByteArray& target, QByteArray* name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) +
                QByteArrayLiteral(".new");
        const int fd = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

QString CreateBeside(const QString& path)
{
    QByteArray name;
    const int fd = CreateBeside(QFile::encodeName(path), &name);
    if (fd < 0)
        return {};
    ::close(fd);
    return QFile::decodeName(name);
}

bool Sync(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool Write(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp;
    const int fd = CreateBeside(target, &temp);
    if (fd < 0)
        return false;

    struct stat existing = {};
    bool ok = true;
    if (::stat(target.constData(), &existing) == 0)
        ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = ok && WriteAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    // The rename itself lasts only once the folder has reached the disk.
    Sync(QFileInfo(path).absolutePath());
    return true;
}

} // namespace vantrel::atomicfile
