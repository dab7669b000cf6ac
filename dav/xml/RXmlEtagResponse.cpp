#include "dav/xml/MultistatusParse.h"
#include "dav/xml/ResourceWalk.h"
#include "dav/xml/RXmlResponse.h"

using platform::xml::XmlNode;

namespace {

// The first successful propstat of a resource decides; later ones are skipped.
struct EtagFields {
    static bool StoreExtra(const XmlNode& node, EtagRecord& record) {
        if (!node.Is("getcontenttype", kDavNamespace)) return false;
        StoreNonEmptyText(node, record.contentType);
        return true;
    }
    static bool PropstatDone(const EtagRecord& record) { return record.status >= 200 && record.status <= 299; }
    static void NotePropstat(EtagRecord& record, int status) { record.status = status; }
};

}  // namespace

RResult RXmlEtagResponse::Parse(const char* xml) {
    std::unique_ptr<platform::xml::XmlDocument> doc;
    const RResult loaded = LoadMultistatus(xml, doc);
    if (loaded != 0) return loaded;
    records_.clear();
    if (!doc) return 0;
    int status = 0;
    return ResourceWalker<EtagRecord, EtagFields>(records_).Walk(doc->Root(), &status, nullptr);
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
