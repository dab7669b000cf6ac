#include <cstring>

#include "dav/xml/EtagListingStream.h"
#include "dav/xml/MultistatusStream.h"
#include "dav/xml/RXmlResponse.h"

RResult RXmlEtagResponse::Parse(const char* xml) {
    const size_t length = xml != nullptr ? std::strlen(xml) : 0;
    std::vector<EtagRecord> fresh;
    std::vector<CStringA> untagged;
    // Only null or empty text is "nothing"; a body of blanks is no multistatus.
    if (length > 0) {
        const RResult result = ParseResourceStream<EtagRecord, EtagListingFields>(xml, length, fresh, &untagged);
        if (result != 0) return result;
    }
    records_.swap(fresh);
    untagged_.swap(untagged);
    return 0;
}

int RXmlEtagResponse::GetCount() { return static_cast<int>(records_.size()); }

RResult RXmlEtagResponse::GetAt(int index, CStringA* href, CStringA* scheduleTag, CStringA* etag, CStringA* contentType, int* status) {
    if (index < 0 || index >= GetCount() || href == nullptr || scheduleTag == nullptr || etag == nullptr ||
        contentType == nullptr || status == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const auto& r = records_[static_cast<size_t>(index)];
    *href = r.href;
    *scheduleTag = r.scheduleTag;
    *etag = r.etag;
    *contentType = r.contentType;
    *status = r.status;
    return 0;
}
