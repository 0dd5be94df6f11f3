#pragma once

#include "zipbridge/sourceentry.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The directories and regular files of a tree, as both counting and zipping see them.
// Symbolic links below the root are neither followed nor listed (nor are devices, pipes and
// sockets); the root itself may be reached through a link. Entries come parents first, the
// children of each directory in byte order of their names, so the listing of an unchanged
// tree never varies.
class SourceTree
{
public:
    // False when the root is not a directory or some directory could not be read; what
    // could be read is still listed and counted.
    bool Scan(const std::string& root);

    // Leaves one file out of the listing and the totals: the archive being written, should it
    // lie inside the tree it is made from.
    void Exclude(dev_t device, ino_t inode)
    {
        m_excludeDevice = device;
        m_excludeInode = inode;
        m_hasExclusion = true;
    }

    const std::vector<SourceEntry>& Entries() const { return m_entries; }
    std::uint64_t TotalSize() const { return m_totalSize; }
    // Directories including the root itself.
    std::uint32_t DirCount() const { return m_dirCount; }
    std::uint32_t FileCount() const { return m_fileCount; }

private:
    bool ScanDirectory(const std::string& absolute, const std::string& relative);

    std::vector<SourceEntry> m_entries;
    std::uint64_t m_totalSize = 0;
    std::uint32_t m_dirCount = 0;
    std::uint32_t m_fileCount = 0;
    bool m_hasExclusion = false;
    dev_t m_excludeDevice = 0;
    ino_t m_excludeInode = 0;
};

} // namespace vantrel
