#include "zipbridge/sourcetree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantrel {

namespace {

std::vector<std::string> SortedNames(const std::string& directory, bool& ok)
{
    std::vector<std::string> names;
    DIR* dir = opendir(directory.c_str());
    if (!dir) {
        ok = false;
        return names;
    }
    while (const dirent* item = readdir(dir)) {
        if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0)
            continue;
        names.emplace_back(item->d_name);
    }
    closedir(dir);
    // std::string compares as unsigned bytes: the same order in every locale.
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

bool SourceTree::Scan(const std::string& root)
{
    m_entries.clear();
    m_totalSize = 0;
    m_dirCount = 0;
    m_fileCount = 0;
    struct stat st = {};
    if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    m_dirCount = 1;
    return ScanDirectory(root, std::string());
}

bool SourceTree::ScanDirectory(const std::string& absolute, const std::string& relative)
{
    bool ok = true;
    // Names are read and the directory closed before descending, so depth costs no handles.
    const std::vector<std::string> names = SortedNames(absolute, ok);
    for (const std::string& name : names) {
        const std::string childAbsolute = absolute + '/' + name;
        struct stat st = {};
        if (lstat(childAbsolute.c_str(), &st) != 0) {
            // Gone since the directory was read: as if it had never been there.
            if (errno != ENOENT)
                ok = false;
            continue;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            continue;
        if (m_hasExclusion && st.st_dev == m_excludeDevice && st.st_ino == m_excludeInode)
            continue;
        SourceEntry entry;
        entry.relativePath = relative.empty() ? name : relative + '/' + name;
        entry.isDirectory = S_ISDIR(st.st_mode);
        entry.size = entry.isDirectory ? 0 : static_cast<std::uint64_t>(st.st_size);
        entry.mode = st.st_mode;
        entry.mtime = st.st_mtim.tv_sec;
        entry.device = st.st_dev;
        entry.inode = st.st_ino;
        m_entries.push_back(entry);
        if (entry.isDirectory) {
            if (m_dirCount < 0xFFFFFFFFu)
                ++m_dirCount;
            // The local copy: the vector may move while the subtree is added.
            if (!ScanDirectory(childAbsolute, entry.relativePath))
                ok = false;
        } else {
            if (m_fileCount < 0xFFFFFFFFu)
                ++m_fileCount;
            m_totalSize += entry.size;
        }
    }
    return ok;
}

} // namespace vantrel
