#pragma once
// The program's fixed version record, laid out as the 52-byte block that callers read the
// four-part file version from (most significant word: major and minor; least: patch and build).
// Threads: constant data; any thread.
#include "platform/core/WinTypes.h"

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the version record is a 52-byte block");

// Marks a valid version record.
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

namespace platform {

// The version record compiled into the program (from the build's project version).
// Always carries the signature; returns 0.
DWORD ReadProgramFileVersion(VS_FIXEDFILEINFO& out);

}  // namespace platform
