#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace vantrel {

// The hidden names under which a receive writes its partial output beside the target, so that
// only a whole result ever carries the target's name: a stored single file waits as
// ".<name>.vantrel-<pid>-<n>", a tree unpacks into the folder ".<name>.vantrel-unpack-<pid>-<n>"
// (<pid> the receiving process, <n> counting from 1 until a free name is found). The pid lets
// a later start tell the leftovers of a copy that died from the work of a copy still running.
class StagingName
{
public:
    enum class Kind
    {
        File,
        Folder
    };

    struct Parsed
    {
        Kind kind;
        pid_t pid;
    };

    // How far <n> counts for each kind before the writer gives up.
    static constexpr unsigned MaxFileNumber = 1000;
    static constexpr unsigned MaxFolderNumber = 100;

    // The staging name for a target called `targetName` (its last component, as bytes).
    static std::string Make(Kind kind, const std::string& targetName, pid_t pid, unsigned n);
    // What Make made this name from: nothing for any other name, including near misses
    // (no target name, leading zeros, numbers out of range).
    static std::optional<Parsed> Parse(const std::string& name);
};

} // namespace vantrel
