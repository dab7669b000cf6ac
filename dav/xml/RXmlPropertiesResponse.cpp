#include <cstring>
#include <new>

#include "dav/xml/MultistatusStream.h"
#include "dav/xml/RXmlResponse.h"

RResult RXmlPropertiesResponse::Parse(const char* xml) {
    const size_t length = xml != nullptr ? std::strlen(xml) : 0;
    std::vector<PropertyRecord> fresh;
    if (length > 0) {
        const RResult result = ParsePropertiesStream(xml, length, [&](const char* name, const char* ns, int status, const char* value) {
            fresh.push_back(PropertyRecord{CStringA(name), CStringA(ns), status, CStringA(value)});
            return 0;
        });
        if (result != 0) return result;
    }
    records_.clear();
    for (const auto& r : fresh) {
        const RResult added = Add(r.name, r.nameSpace, r.status, r.value);
        if (added != 0) return added;
    }
    return 0;
}

int RXmlPropertiesResponse::GetCount() { return static_cast<int>(records_.size()); }

RResult RXmlPropertiesResponse::GetAt(int index, CStringA* name, CStringA* nameSpace, int* status, CStringA* value) {
    if (index < 0 || index >= GetCount() || name == nullptr || nameSpace == nullptr || status == nullptr || value == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const auto& r = records_[static_cast<size_t>(index)];
    *name = r.name;
    *nameSpace = r.nameSpace;
    *status = r.status;
    *value = r.value;
    return 0;
}

RResult RXmlPropertiesResponse::Add(const char* name, const char* nameSpace, int status, const char* value) {
    try {
        records_.push_back(PropertyRecord{CStringA(name), CStringA(nameSpace), status, CStringA(value)});
    } catch (const std::bad_alloc&) {
        return R_E_OUT_OF_MEMORY;
    }
    return 0;
}

RResult RXmlPropertiesResponse::Find(const char* name, const char* nameSpace, int* status, CStringA* value) {
    for (const auto& r : records_) {
        if (r.name.CompareNoCase(name) != 0) continue;
        if (nameSpace != nullptr && r.nameSpace.CompareNoCase(nameSpace) != 0) continue;
        if (status != nullptr) *status = r.status;
        if (value != nullptr) *value = r.value;
        return 0;
    }
    return STG_E_PATHNOTFOUND;
}
