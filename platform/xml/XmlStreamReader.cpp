#include "platform/xml/XmlStreamReader.h"

#include <libxml/xmlreader.h>

#include <climits>

#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlMessages.h"

namespace platform::xml {
namespace {

constexpr int kReaderOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;

std::string_view View(const xmlChar* text) {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

}  // namespace

XmlStreamReader::XmlStreamReader(const char* data, size_t length) {
    InitXmlParser();
    if (data == nullptr || length == 0 || length > static_cast<size_t>(INT_MAX)) return;
    reader_ = xmlReaderForMemory(data, static_cast<int>(length), nullptr, nullptr, kReaderOptions);
    if (reader_ != nullptr) RouteReaderMessages(reader_);
}

XmlStreamReader::~XmlStreamReader() {
    if (reader_ != nullptr) xmlFreeTextReader(reader_);
}

XmlStreamReader::Event XmlStreamReader::Next() {
    if (reader_ == nullptr || done_) return Event::Error;
    if (pendingEnd_) {
        pendingEnd_ = false;
        return Event::EndElement;
    }
    for (;;) {
        const int read = xmlTextReaderRead(reader_);
        if (read != 1) {
            done_ = true;
            return read == 0 && sawRoot_ ? Event::End : Event::Error;
        }
        switch (xmlTextReaderNodeType(reader_)) {
            case XML_READER_TYPE_ELEMENT:
                sawRoot_ = true;
                pendingEnd_ = xmlTextReaderIsEmptyElement(reader_) == 1;
                return Event::StartElement;
            case XML_READER_TYPE_END_ELEMENT:
                return Event::EndElement;
            case XML_READER_TYPE_TEXT:
            case XML_READER_TYPE_CDATA:
            case XML_READER_TYPE_WHITESPACE:
            case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
                return Event::Text;
            default:
                break;  // comments, processing instructions, the document type...
        }
    }
}

std::string_view XmlStreamReader::LocalName() const { return reader_ != nullptr ? View(xmlTextReaderConstLocalName(reader_)) : std::string_view(); }

std::string_view XmlStreamReader::NamespaceUri() const {
    return reader_ != nullptr ? View(xmlTextReaderConstNamespaceUri(reader_)) : std::string_view();
}

std::string_view XmlStreamReader::Value() const { return reader_ != nullptr ? View(xmlTextReaderConstValue(reader_)) : std::string_view(); }

}  // namespace platform::xml
