#include "platform/system/FileVersion.h"

#include "platform/system/Version.h"

namespace platform {
namespace {

constexpr DWORD kStructureVersion1 = 0x00010000;
constexpr DWORD kAllFileFlags = 0x3F;
constexpr DWORD kApplicationFile = 1;

constexpr DWORD Words(DWORD high, DWORD low) { return ((high & 0xFFFF) << 16) | (low & 0xFFFF); }

}  // namespace

DWORD ReadProgramFileVersion(VS_FIXEDFILEINFO& out) {
    VS_FIXEDFILEINFO info{};
    info.dwSignature = kFixedFileInfoSignature;
    info.dwStrucVersion = kStructureVersion1;
    info.dwFileVersionMS = Words(ORVANE_VERSION_MAJOR, ORVANE_VERSION_MINOR);
    info.dwFileVersionLS = Words(ORVANE_VERSION_PATCH, ORVANE_VERSION_BUILD);
    info.dwProductVersionMS = info.dwFileVersionMS;
    info.dwProductVersionLS = info.dwFileVersionLS;
    info.dwFileFlagsMask = kAllFileFlags;
    info.dwFileType = kApplicationFile;
    out = info;
    return ERROR_SUCCESS;
}

}  // namespace platform
