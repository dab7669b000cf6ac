#include "dav/xml/MultistatusParse.h"
#include "dav/xml/ResourceWalk.h"
#include "dav/xml/RXmlResponse.h"

using platform::xml::XmlNode;

namespace {

// Every propstat is read; the calendar (or address) data is the record's payload.
struct MultigetFields {
    static bool StoreExtra(const XmlNode& node, ResponseRecord& record) {
        if (!node.Is("calendar-data", kCalDavNamespace) && !node.Is("address-data", kCardDavNamespace)) return false;
        StoreNonEmptyText(node, record.data);
        return true;
    }
    static bool PropstatDone(const ResponseRecord&) { return false; }
    static void NotePropstat(ResponseRecord&, int) {}
};

}  // namespace

RResult RXmlMultigetResponse::Parse(const char* xml) {
    std::unique_ptr<platform::xml::XmlDocument> doc;
    const RResult loaded = LoadMultistatus(xml, doc);
    if (loaded != 0 || !doc) return loaded;
    int status = 0;
    return ResourceWalker<ResponseRecord, MultigetFields>(records_).Walk(doc->Root(), &status, nullptr);
}

int RXmlMultigetResponse::GetCount() { return static_cast<int>(records_.size()); }

RResult RXmlMultigetResponse::GetAt(int index, CStringA* href, CStringA* scheduleTag, CStringA* etag, CStringA* data) {
    if (index < 0 || index >= GetCount()) return R_E_INVALID_ARGUMENT;
    const auto& r = records_[static_cast<size_t>(index)];
    if (href != nullptr) *href = r.href;
    if (scheduleTag != nullptr) *scheduleTag = r.scheduleTag;
    if (etag != nullptr) *etag = r.etag;
    if (data != nullptr) *data = r.data;
    return 0;
}
