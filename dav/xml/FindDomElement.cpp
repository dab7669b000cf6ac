#include "dav/xml/FindDomElement.h"

#include "dav/http/StatusLine.h"
#include "dav/xml/DavNamespaces.h"

RResult FindDomElement(platform::xml::XmlNode node, std::string_view localName, std::string_view namespaceUri,
                       CStringA* markup, CStringA* text, int* status, int& statusHolder, bool& found) {
    if (node.Is(localName, namespaceUri)) {
        found = true;
        if (status != nullptr) *status = statusHolder;
        if (markup != nullptr) *markup = CStringA(node.Markup());
        if (text != nullptr) *text = CStringA(node.Text());
        return 0;
    }
    if (node.Is("status", kDavNamespace)) {
        statusHolder = ParseStatusLine(node.Text());
        return 0;
    }
    for (auto child = node.FirstChild(); child && !found; child = child.NextSibling()) {
        const RResult result = FindDomElement(child, localName, namespaceUri, markup, text, status, statusHolder, found);
        if (result != 0) return result;
    }
    return 0;
}
