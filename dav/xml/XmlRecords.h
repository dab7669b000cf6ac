#pragma once
// The value records that the multistatus responses collect.
// Threads: plain values, copied between threads, never shared.
#include "foundation/ResultCodes.h"

#include <cstdint>

#include "platform/string/CString.h"

struct PropertyRecord {
    CStringA name;       // the element's local name
    CStringA nameSpace;  // its namespace URI
    std::int32_t status = 0;
    CStringA value;
};

struct EtagRecord {
    CStringA href;
    CStringA scheduleTag;
    CStringA etag;
    CStringA contentType;
    std::int32_t status = 0;
};

struct ResponseRecord {
    CStringA href;
    CStringA scheduleTag;
    CStringA etag;
    CStringA data;  // calendar-data (or address-data)
};
