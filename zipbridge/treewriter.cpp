#include "zipbridge/treewriter.h"

#include "zipbridge/destinationfailure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vantrel {

namespace {

// A handle that only names a folder: enough for the *at calls, and it needs no permission to
// read the folder.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string Parent(const std::string& relative)
{
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::string Base(const std::string& relative)
{
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

} // namespace

TreeWriter::~TreeWriter()
{
    AbandonFile();
    ForgetFolder();
    if (m_root >= 0)
        close(m_root);
}

bool TreeWriter::Open(const std::string& root)
{
    m_root = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    m_error = m_root < 0 ? errno : 0;
    return m_root >= 0;
}

TreeWriter::Step TreeWriter::Failed(int error)
{
    m_error = error;
    return IsDestinationFailure(error) ? Step::DestinationFailed : Step::Refused;
}

void TreeWriter::ForgetFolder()
{
    if (m_cached >= 0)
        close(m_cached);
    m_cached = -1;
    m_cachedPath.clear();
}

int TreeWriter::Folder(const std::string& relative, std::vector<std::string>& created)
{
    if (relative.empty())
        return m_root;
    if (m_cached >= 0 && relative == m_cachedPath)
        return m_cached;
    // From the cached folder when it lies on the way, otherwise from the root.
    std::size_t start = 0;
    int dir = m_root;
    if (m_cached >= 0 && relative.size() > m_cachedPath.size() &&
        relative.compare(0, m_cachedPath.size(), m_cachedPath) == 0 &&
        relative[m_cachedPath.size()] == '/') {
        dir = m_cached;
        start = m_cachedPath.size() + 1;
    }
    for (;;) {
        const std::size_t slash = relative.find('/', start);
        const std::size_t end = slash == std::string::npos ? relative.size() : slash;
        const std::string part = relative.substr(start, end - start);
        int next = openat(dir, part.c_str(), kFolderFlags);
        if (next < 0 && errno == ENOENT) {
            if (mkdirat(dir, part.c_str(), 0777) == 0)
                created.push_back(relative.substr(0, end));
            else if (errno != EEXIST)
                next = -2;
            if (next == -1)
                next = openat(dir, part.c_str(), kFolderFlags);
        }
        const int error = errno;
        if (dir != m_root && dir != m_cached)
            close(dir);
        if (next < 0) {
            m_error = error;
            return -1;
        }
        dir = next;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    ForgetFolder();
    m_cached = dir;
    m_cachedPath = relative;
    return dir;
}

TreeWriter::Step TreeWriter::ClearPlace(int dir, const std::string& name, bool wantFolder,
                                        bool& existingFolder)
{
    existingFolder = false;
    struct stat st = {};
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Step::Done : Failed(errno);
    if (S_ISDIR(st.st_mode)) {
        if (wantFolder) {
            existingFolder = true;
            return Step::Done;
        }
        // Only an empty folder gives way to a file.
        ForgetFolder();
        if (unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0)
            return Failed(errno);
        return Step::Done;
    }
    if (unlinkat(dir, name.c_str(), 0) != 0)
        return Failed(errno);
    return Step::Done;
}

TreeWriter::Step TreeWriter::MakeFolder(const std::string& relative, mode_t perm,
                                        const timespec times[2], std::vector<std::string>& created)
{
    const int dir = Folder(Parent(relative), created);
    if (dir < 0)
        return Failed(m_error);
    const std::string name = Base(relative);
    if (mkdirat(dir, name.c_str(), (perm & 0777) | 0700) == 0) {
        created.push_back(relative);
    } else {
        if (errno != EEXIST)
            return Failed(errno);
        bool existingFolder = false;
        const Step cleared = ClearPlace(dir, name, true, existingFolder);
        if (cleared != Step::Done)
            return cleared;
        if (!existingFolder) {
            if (mkdirat(dir, name.c_str(), (perm & 0777) | 0700) != 0)
                return Failed(errno);
            created.push_back(relative);
        }
    }
    m_folderTimes.push_back({relative, {times[0], times[1]}});
    return Step::Done;
}

TreeWriter::Step TreeWriter::CreateFile(const std::string& relative, mode_t perm,
                                        std::vector<std::string>& created)
{
    AbandonFile();
    const int dir = Folder(Parent(relative), created);
    if (dir < 0)
        return Failed(m_error);
    const std::string name = Base(relative);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    const mode_t mode = (perm & 0777) | 0600;
    m_file = openat(dir, name.c_str(), flags, mode);
    if (m_file < 0 && errno == EEXIST) {
        bool existingFolder = false;
        const Step cleared = ClearPlace(dir, name, false, existingFolder);
        if (cleared != Step::Done)
            return cleared;
        // A folder that gave way may have been the cached one's ancestor: walk again.
        const int again = Folder(Parent(relative), created);
        if (again < 0)
            return Failed(m_error);
        m_file = openat(again, name.c_str(), flags, mode);
    }
    if (m_file < 0)
        return Failed(errno);
    return Step::Done;
}

bool TreeWriter::Write(const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = write(m_file, bytes, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            m_error = done < 0 ? errno : ENOSPC;
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool TreeWriter::FinishFile(const timespec times[2])
{
    // A time that cannot be set does not spoil the file's contents.
    [[maybe_unused]] const int timed = futimens(m_file, times);
    const int closed = close(m_file);
    m_file = -1;
    m_error = closed == 0 ? 0 : errno;
    return closed == 0;
}

void TreeWriter::AbandonFile()
{
    if (m_file >= 0)
        close(m_file);
    m_file = -1;
}

bool TreeWriter::Close()
{
    AbandonFile();
    ForgetFolder();
    if (m_root < 0)
        return false;
    // Deepest first, so that setting a folder's time does not touch its parent's.
    std::sort(m_folderTimes.begin(), m_folderTimes.end(),
              [](const FolderTimes& a, const FolderTimes& b) { return a.relative > b.relative; });
    for (const FolderTimes& folder : m_folderTimes)
        utimensat(m_root, folder.relative.c_str(), folder.times, AT_SYMLINK_NOFOLLOW);
    m_folderTimes.clear();
    close(m_root);
    m_root = -1;
    return true;
}

} // namespace vantrel
