#include "dav/xml/DavNamespaces.h"
#include "dav/xml/MultistatusParse.h"
#include "dav/xml/RXmlResponse.h"
#include "dav/http/StatusLine.h"

#include <new>

using platform::xml::XmlNode;

namespace {

bool IsRecognised(const XmlNode& node) {
    return node.Is("getctag", kDavNamespace) || node.Is("getctag", kCalendarServerNamespace) ||
           node.Is("sync-token", kDavNamespace) || node.Is("calendar-order", kAppleICalNamespace) ||
           node.Is("calendar-color", kAppleICalNamespace) || node.Is("privilege", kDavNamespace) ||
           node.Is("displayname", kDavNamespace) || node.Is("owner", kDavNamespace) || node.Is("href", kDavNamespace);
}

}  // namespace

class PropertiesWalker {
public:
    explicit PropertiesWalker(RXmlPropertiesResponse& response) : response_(response) {}

    RResult Walk(const XmlNode& node, int& status) {
        if (node.Is("status", kDavNamespace)) {
            status = ParseStatusLine(node.Text());
            return 0;
        }
        if (node.Is("propstat", kDavNamespace)) {
            int fresh = 0;
            return WalkChildren(node, fresh);
        }
        if (IsRecognised(node)) {
            const CStringA text = node.Is("owner", kDavNamespace) ? HrefValueText(node) : CStringA(node.Text());
            if (text.IsEmpty()) return 0;
            return response_.Add(std::string(node.LocalName()).c_str(), std::string(node.NamespaceUri()).c_str(), status, text);
        }
        return WalkChildren(node, status);
    }

private:
    RResult WalkChildren(const XmlNode& node, int& status) {
        for (auto child = node.FirstChild(); child; child = child.NextSibling()) {
            const RResult result = Walk(child, status);
            if (result != 0) return result;
        }
        return 0;
    }

    RXmlPropertiesResponse& response_;
};

RResult RXmlPropertiesResponse::Parse(const char* xml) {
    std::unique_ptr<platform::xml::XmlDocument> doc;
    const RResult loaded = LoadMultistatus(xml, doc);
    if (loaded != 0) return loaded;
    records_.clear();
    if (!doc) return 0;
    int status = 0;
    return PropertiesWalker(*this).Walk(doc->Root(), status);
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
