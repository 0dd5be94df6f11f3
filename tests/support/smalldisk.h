#pragma once

#include <QString>

#include <cstdint>

namespace vantrel::test {

// A small file system of its own (tmpfs of a given size) mounted by the test over a folder,
// which it creates when missing; unmounted at destruction. Needs root (CAP_SYS_ADMIN); where
// the machine cannot mount, ok() is false and error() says why.
class SmallDisk
{
public:
    SmallDisk(const QString& folder, std::uint64_t sizeBytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool ok() const { return m_mounted; }
    const QString& error() const { return m_error; }
    const QString& folder() const { return m_folder; }

    std::uint64_t FreeBytes() const;
    // Takes all free space but `leaveFree` bytes with a filler file at the disk's top.
    bool Fill(std::uint64_t leaveFree);
    // Deletes the filler: the space it held is free again.
    bool Free();

private:
    QString FillerPath() const;

    QString m_folder;
    bool m_mounted = false;
    QString m_error;
};

} // namespace vantrel::test
