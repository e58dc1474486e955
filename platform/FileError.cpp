#include <cerrno>

#include "platform/Platform.h"

namespace pm {

int CauseFromErrno(int err) {
    switch (err) {
    case 0: return kCauseNone;
    case ENOENT: return kCauseFileNotFound;
    case ENOTDIR: case ENAMETOOLONG: case EINVAL: case ELOOP: return kCauseBadPath;
    case EMFILE: case ENFILE: return kCauseTooManyOpenFiles;
    case EACCES: case EPERM: return kCauseAccessDenied;
    case EROFS: return kCauseReadOnly;
    case EBADF: return kCauseInvalidHandle;
    case EBUSY: case ETXTBSY: case EWOULDBLOCK: return kCauseSharingViolation;
    case ENOLCK: return kCauseLockViolation;
    case ENOSPC: case EDQUOT: case EFBIG: return kCauseDiskFull;
    case EIO: return kCauseHardIo;
    default: return kCauseGeneric;
    }
}

}  // namespace pm
