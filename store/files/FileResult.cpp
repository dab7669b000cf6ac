#include "store/files/FileResult.h"

#include <cerrno>

RResult ResultFromErrno(int error) {
    switch (error) {
        case 0:
            return R_OK;
        case ENOSPC:
        case EDQUOT:
            return R_E_DISK_FULL;
        case EACCES:
        case EPERM:
        case EROFS:
            return R_E_ACCESS_DENIED;
        case ENAMETOOLONG:
            return R_E_NAME_TOO_LONG;
        case ENOENT:
        case ENOTDIR:
            return STG_E_PATHNOTFOUND;
        default:
            return R_E_WRITE_FAULT;
    }
}
