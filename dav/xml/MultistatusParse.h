#pragma once
// Loading of a multistatus body for the response classes.
#include "foundation/ResultCodes.h"

#include <memory>

#include "platform/string/CString.h"
#include "platform/xml/XmlDocument.h"

// `doc` is the parsed body, or null when there is none (null or empty text: 0). R_E_BAD_FORMAT
// for any other text that is not a well-formed document, blanks alone included.
RResult LoadMultistatus(const char* xml, std::unique_ptr<platform::xml::XmlDocument>& doc);

// The text of an href-valued property: its first DAV:href child, else its own text.
CStringA HrefValueText(platform::xml::XmlNode node);

// Replaces `field` with the element's text unless that is empty.
void StoreNonEmptyText(const platform::xml::XmlNode& node, CStringA& field);
