// A stand-in for the compression component that offers exactly the operations the engine
// calls, less the one named by a WITHOUT_<operation> definition. The loader must accept the
// full set and refuse every set with one missing.
#include <cstdint>

#define STANDIN extern "C" __attribute__((visibility("default")))

// What the stand-in's operations answer, so that a test sees whose operation ran.
constexpr int StandInResult = 77;

#ifndef WITHOUT_ZipBridgeFolderProperties64
STANDIN int ZipBridgeFolderProperties64(const char*, uint64_t* totalSize, uint32_t* dirCount,
                                        uint32_t* fileCount)
{
    *totalSize = 0;
    *dirCount = 1;
    *fileCount = 0;
    return StandInResult;
}
#endif

#ifndef WITHOUT_OrvakZipSingleFile
STANDIN int OrvakZipSingleFile(const char*, const char*, uint32_t*, uint32_t*, uint32_t*)
{
    return StandInResult;
}
#endif

#ifndef WITHOUT_OrvakZipFolderRecursive
STANDIN int OrvakZipFolderRecursive(const char*, const char*, uint32_t*, uint32_t*)
{
    return StandInResult;
}
#endif

#ifndef WITHOUT_ZipBridgeUnzipSingleFileBounded
STANDIN int ZipBridgeUnzipSingleFileBounded(const char*, const char*, uint32_t*, uint32_t*,
                                            uint64_t)
{
    return StandInResult;
}
#endif

#ifndef WITHOUT_ZipBridgeUnzipAllFolderBounded
STANDIN int ZipBridgeUnzipAllFolderBounded(const char*, const char*, uint32_t*, uint32_t*, uint64_t)
{
    return StandInResult;
}
#endif
