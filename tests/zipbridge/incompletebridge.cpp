// A stand-in for the compression component that offers only one of its operations: the
// loader must not accept it.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) int FolderProperties(const char*, uint32_t*,
                                                                       uint32_t*, uint32_t*)
{
    return 0;
}
