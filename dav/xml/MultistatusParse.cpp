#include "dav/xml/MultistatusParse.h"

#include <cstring>

#include "dav/xml/DavNamespaces.h"
#include "dav/xml/MultistatusStream.h"

RResult LoadMultistatus(const char* xml, std::unique_ptr<platform::xml::XmlDocument>& doc) {
    doc.reset();
    const size_t length = xml != nullptr ? std::strlen(xml) : 0;
    // Only null or empty text is "nothing"; a body of blanks is no multistatus, and read as
    // "no resources" it would empty a calendar.
    if (length == 0) return 0;
    multistatus_stream::RouteXmlMessagesToTrace();
    doc = platform::xml::XmlDocument::Parse(xml, length);
    if (!doc) return R_E_BAD_FORMAT;
    // Well-formed XML that is no multistatus (a login page in XHTML, an error document) lists
    // nothing: read as "no resources" it would empty a calendar or an account.
    if (!doc->Root().Is("multistatus", kDavNamespace)) {
        doc.reset();
        return R_E_BAD_FORMAT;
    }
    return 0;
}

CStringA HrefValueText(platform::xml::XmlNode node) {
    const auto href = node.FindChild("href", kDavNamespace);
    return CStringA(href ? href.Text() : node.Text());
}

void StoreNonEmptyText(const platform::xml::XmlNode& node, CStringA& field) {
    std::string text = node.Text();
    if (!text.empty()) field = CStringA(std::move(text));
}
