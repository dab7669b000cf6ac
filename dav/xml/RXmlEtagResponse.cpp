#include "dav/http/StatusLine.h"
#include "dav/xml/DavNamespaces.h"
#include "dav/xml/MultistatusParse.h"
#include "dav/xml/RXmlResponse.h"

#include <new>

using platform::xml::XmlNode;

namespace {

// Walks one node with the status variable that applies and the record of the DAV:response
// being read (null above any response).
RResult WalkEtag(const XmlNode& node, int* status, EtagRecord* record, std::vector<EtagRecord>& out);

RResult WalkEtagChildren(const XmlNode& node, int* status, EtagRecord* record, std::vector<EtagRecord>& out) {
    for (auto child = node.FirstChild(); child; child = child.NextSibling()) {
        const RResult result = WalkEtag(child, status, record, out);
        if (result != 0) return result;
    }
    return 0;
}

void StoreText(const XmlNode& node, CStringA& field) {
    std::string text = node.Text();
    if (!text.empty()) field = CStringA(std::move(text));
}

RResult WalkEtag(const XmlNode& node, int* status, EtagRecord* record, std::vector<EtagRecord>& out) {
    if (node.Is("status", kDavNamespace)) {
        if (status != nullptr) *status = ParseStatusLine(node.Text());
        return 0;
    }
    if (node.Is("propstat", kDavNamespace)) {
        // The first successful propstat of a resource decides; later ones are skipped.
        if (record != nullptr && record->status >= 200 && record->status <= 299) return 0;
        int fresh = 0;
        const RResult result = WalkEtagChildren(node, &fresh, record, out);
        if (fresh != 0 && record != nullptr) record->status = fresh;
        return result;
    }
    if (node.Is("response", kDavNamespace) && record == nullptr) {
        EtagRecord current;
        const RResult result = WalkEtagChildren(node, status, &current, out);
        if (!current.href.IsEmpty() && (!current.etag.IsEmpty() || !current.scheduleTag.IsEmpty())) {
            try {
                out.push_back(std::move(current));
            } catch (const std::bad_alloc&) {
                return R_E_OUT_OF_MEMORY;
            }
        }
        return result;
    }
    if (record != nullptr) {
        if (node.Is("href", kDavNamespace)) return StoreText(node, record->href), 0;
        if (node.Is("getetag", kDavNamespace)) return StoreText(node, record->etag), 0;
        if (node.Is("schedule-tag", kCalDavNamespace)) return StoreText(node, record->scheduleTag), 0;
        if (node.Is("getcontenttype", kDavNamespace)) return StoreText(node, record->contentType), 0;
    }
    return WalkEtagChildren(node, status, record, out);
}

}  // namespace

RResult RXmlEtagResponse::Parse(const char* xml) {
    std::unique_ptr<platform::xml::XmlDocument> doc;
    const RResult loaded = LoadMultistatus(xml, doc);
    if (loaded != 0) return loaded;
    records_.clear();
    if (!doc) return 0;
    int status = 0;
    return WalkEtag(doc->Root(), &status, nullptr, records_);
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
