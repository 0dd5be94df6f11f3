#pragma once

#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

// Writes the folders and files of an extraction below one root folder, each created relative
// to an open handle of its folder rather than by a full path, so that a file costs one create,
// its writes, one time stamp and one close. Every folder on the way is opened without following
// links: a link, or anything but a folder, where a folder is needed refuses the entry. An
// existing file or link in the place of an entry is replaced, never followed; a folder in the
// place of a file is replaced only when empty. Names are relative, already checked, without
// "." or ".." parts. Folders' times are set by Close, deepest first, after their contents.
class TreeWriter
{
public:
    enum class Step
    {
        Done,
        Refused,
        DestinationFailed
    };

    TreeWriter() = default;
    ~TreeWriter();
    TreeWriter(const TreeWriter&) = delete;
    TreeWriter& operator=(const TreeWriter&) = delete;

    // `root` is an existing folder whose own path is trusted.
    bool Open(const std::string& root);
    // The folder `relative`, made with (`perm` | 0700) less the umask when missing; an existing
    // folder keeps its permissions. `times` (access, modification) are applied at Close.
    // Folders this call made are appended to `created`, parents first.
    Step MakeFolder(const std::string& relative, mode_t perm, const timespec times[2],
                    std::vector<std::string>& created);
    // Creates the file `relative` (new, (`perm` | 0600) less the umask) and its missing
    // folders, which are appended to `created`. The file is written by Write and ended by
    // FinishFile or AbandonFile.
    Step CreateFile(const std::string& relative, mode_t perm, std::vector<std::string>& created);
    // Writes all of `size` bytes; false with errno on failure.
    bool Write(const void* data, std::size_t size);
    // Sets the file's times through its handle and closes it; false with errno on failure.
    bool FinishFile(const timespec times[2]);
    void AbandonFile();
    // Applies the folders' times; false when the root could not be reached any more.
    bool Close();

    // The errno of the last failed step.
    int error() const { return m_error; }

private:
    // The handle of the folder `relative` ("" is the root), made on the way when missing;
    // -1 with m_error set on failure.
    int Folder(const std::string& relative, std::vector<std::string>& created);
    void ForgetFolder();
    Step Failed(int error);
    // Removes what is in the place of `name` in `dir` so that a new object can go there.
    Step ClearPlace(int dir, const std::string& name, bool wantFolder, bool& existingFolder);

    struct FolderTimes
    {
        std::string relative;
        timespec times[2];
    };

    int m_root = -1;
    // The last folder used, kept open: entries of one folder usually follow each other.
    std::string m_cachedPath;
    int m_cached = -1;
    int m_file = -1;
    int m_error = 0;
    std::vector<FolderTimes> m_folderTimes;
};

} // namespace vantrel
