#pragma once
// Search of a parsed document for one element, noting the last DAV:status met before it.
#include "foundation/ResultCodes.h"

#include <string_view>

#include "platform/string/CString.h"
#include "platform/xml/XmlDocument.h"

// Searches the subtree of `node` in document order. When the element is found, `found` is
// set, `status` takes the holder's value, `markup` the element's markup and `text` its text
// (each output optional). The caller starts the holder at 0 and `found` cleared. Returns 0.
RResult FindDomElement(platform::xml::XmlNode node, std::string_view localName, std::string_view namespaceUri,
                       CStringA* markup, CStringA* text, int* status, int& statusHolder, bool& found);
