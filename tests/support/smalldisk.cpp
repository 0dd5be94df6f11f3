#include "tests/support/smalldisk.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vantrel::test {

SmallDisk::SmallDisk(const QString& folder, std::uint64_t sizeBytes) : m_folder(folder)
{
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot create %1").arg(folder);
        return;
    }
    const QByteArray target = QFile::encodeName(folder);
    const QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0700";
    if (::mount("tmpfs", target.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) !=
        0) {
        m_error = QStringLiteral("mounting a %1-byte tmpfs on %2 failed (%3); it needs root")
                      .arg(sizeBytes)
                      .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk()
{
    // Lazily: a file still open somewhere must not keep the mount (and the test) alive.
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

std::uint64_t SmallDisk::FreeBytes() const
{
    struct statvfs st = {};
    if (::statvfs(QFile::encodeName(m_folder).constData(), &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

QString SmallDisk::FillerPath() const
{
    return m_folder + QStringLiteral("/filler.bin");
}

bool SmallDisk::Fill(std::uint64_t leaveFree)
{
    QFile filler(FillerPath());
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const std::vector<char> block(64 * 1024, 'f');
    for (;;) {
        const std::uint64_t free = FreeBytes();
        if (free <= leaveFree)
            return true;
        const auto size = static_cast<qint64>(
            std::min<std::uint64_t>(free - leaveFree, static_cast<std::uint64_t>(block.size())));
        if (filler.write(block.data(), size) != size || !filler.flush())
            return false;
    }
}

bool SmallDisk::Free()
{
    return QFile::remove(FillerPath());
}

} // namespace vantrel::test
