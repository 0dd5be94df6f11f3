#pragma once

#include <cerrno>

namespace vantrel {

// Errors that say the destination cannot take the extraction (a full disk, no permission, a
// broken device), as opposed to one entry that cannot go where it asks to go.
inline bool IsDestinationFailure(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
    case EROFS:
    case EACCES:
    case EPERM:
    case ENOMEM:
        return true;
    default:
        return false;
    }
}

} // namespace vantrel
