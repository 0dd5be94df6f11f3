// Runs one operation of the compression component in a process of its own, so that tests can
// vary what a process owns: its time zone and locale (from the environment) and the largest
// file it may write (--fsize-limit, which makes writes fail as on a full disk).
// Usage: zipbridge_tool [--fsize-limit BYTES] zip|zipfile|unzip|unzipfile FROM TO
// The exit status is the operation's result.
#include "zipbridge/zipbridge.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    int arg = 1;
    if (argc > 2 && std::strcmp(argv[1], "--fsize-limit") == 0) {
        const rlim_t limit = std::strtoull(argv[2], nullptr, 10);
        const struct rlimit fsize = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &fsize);
        // Without the signal an oversized write fails with EFBIG, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        arg = 3;
    }
    if (argc != arg + 3)
        return 100;
    const std::string operation = argv[arg];
    const char* from = argv[arg + 1];
    const char* to = argv[arg + 2];
    uint32_t progress = 0;
    uint32_t cancel = 0;
    uint32_t unused = 0;
    if (operation == "zip")
        return OrvakZipFolderRecursive(to, from, &progress, &cancel);
    if (operation == "zipfile")
        return OrvakZipSingleFile(to, from, &progress, &unused, &cancel);
    if (operation == "unzip")
        return OrvakUnzipAllFolder(from, to, &progress, &cancel);
    if (operation == "unzipfile")
        return OrvakUnzipSingleFile(from, to, &progress, &cancel);
    return 101;
}
