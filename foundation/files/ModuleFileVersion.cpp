#include "foundation/files/ModuleFileVersion.h"

DWORD GetModuleFileVersion(VS_FIXEDFILEINFO* out) {
    VS_FIXEDFILEINFO info{};
    const DWORD error = platform::ReadProgramFileVersion(info);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    if (info.dwSignature == kFixedFileInfoSignature && out != nullptr) {
        *out = info;
    }
    return ERROR_SUCCESS;
}
