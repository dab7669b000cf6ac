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
    return doc ? 0 : R_E_BAD_FORMAT;
}

CStringA HrefValueText(platform::xml::XmlNode node) {
    const auto href = node.FindChild("href", kDavNamespace);
    return CStringA(href ? href.Text() : node.Text());
}

void StoreNonEmptyText(const platform::xml::XmlNode& node, CStringA& field) {
    std::string text = node.Text();
    if (!text.empty()) field = CStringA(std::move(text));
}
