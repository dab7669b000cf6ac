#include "dav/http/StatusLine.h"
#include "dav/xml/DavNamespaces.h"
#include "dav/xml/MultistatusParse.h"
#include "dav/xml/RXmlResponse.h"

#include <new>

using platform::xml::XmlNode;

namespace {

RResult WalkMultiget(const XmlNode& node, int* status, ResponseRecord* record, std::vector<ResponseRecord>& out);

RResult WalkMultigetChildren(const XmlNode& node, int* status, ResponseRecord* record, std::vector<ResponseRecord>& out) {
    for (auto child = node.FirstChild(); child; child = child.NextSibling()) {
        const RResult result = WalkMultiget(child, status, record, out);
        if (result != 0) return result;
    }
    return 0;
}

void StoreText(const XmlNode& node, CStringA& field) {
    std::string text = node.Text();
    if (!text.empty()) field = CStringA(std::move(text));
}

RResult WalkMultiget(const XmlNode& node, int* status, ResponseRecord* record, std::vector<ResponseRecord>& out) {
    if (node.Is("status", kDavNamespace)) {
        if (status != nullptr) *status = ParseStatusLine(node.Text());
        return 0;
    }
    if (node.Is("propstat", kDavNamespace)) {
        int fresh = 0;
        return WalkMultigetChildren(node, &fresh, record, out);
    }
    if (node.Is("response", kDavNamespace) && record == nullptr) {
        ResponseRecord current;
        const RResult result = WalkMultigetChildren(node, status, &current, out);
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
        if (node.Is("calendar-data", kCalDavNamespace) || node.Is("address-data", kCardDavNamespace)) {
            return StoreText(node, record->data), 0;
        }
    }
    return WalkMultigetChildren(node, status, record, out);
}

}  // namespace

RResult RXmlMultigetResponse::Parse(const char* xml) {
    std::unique_ptr<platform::xml::XmlDocument> doc;
    const RResult loaded = LoadMultistatus(xml, doc);
    if (loaded != 0 || !doc) return loaded;
    int status = 0;
    return WalkMultiget(doc->Root(), &status, nullptr, records_);
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
