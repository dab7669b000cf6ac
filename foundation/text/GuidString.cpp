#include "foundation/text/GuidString.h"

#include "platform/string/Utf.h"
#include "platform/system/Guid.h"

RResult NewGuidStringA(CStringA& out) {
    platform::Guid guid;
    const int error = platform::NewRandomGuid(guid);
    if (error != 0) {
        return error;
    }
    out = CStringA(platform::GuidToText(guid));
    return R_OK;
}

RResult NewGuidString(CStringW& out) {
    CStringA narrow;
    const RResult result = NewGuidStringA(narrow);
    if (result == R_OK) {
        out = CStringW(platform::Utf8ToUtf16(narrow.AsView()));
    }
    return result;
}
