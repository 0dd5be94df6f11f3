#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace vantrel {

// One directory or regular file below the root of a source tree.
struct SourceEntry
{
    std::string relativePath; // '/'-separated, no leading or trailing '/'
    bool isDirectory = false;
    std::uint64_t size = 0;
    mode_t mode = 0;
    time_t mtime = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

} // namespace vantrel
