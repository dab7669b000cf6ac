#include "platform/xml/XmlStreamReader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <cstring>

#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlMessages.h"

namespace platform::xml {
namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
// The input is handed to the parser in pieces of this size; the events of one piece are queued.
constexpr size_t kChunk = 64 * 1024;

std::string_view View(const xmlChar* text) {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

}  // namespace

// The parser's callbacks, queueing events for Next. Names come from the parser's dictionary,
// which lives as long as the parser; text is copied.
struct XmlStreamReader::Callbacks {
    static XmlStreamReader& Self(void* context) {
        return *static_cast<XmlStreamReader*>(static_cast<xmlParserCtxtPtr>(context)->_private);
    }
    static void Start(void* context, const xmlChar* local, const xmlChar*, const xmlChar* uri, int, const xmlChar**, int, int,
                      const xmlChar**) {
        XmlStreamReader& self = Self(context);
        self.sawRoot_ = true;
        self.queue_.push_back(Pending{Event::StartElement, local, uri, {}});
    }
    static void End(void* context, const xmlChar* local, const xmlChar*, const xmlChar* uri) {
        Self(context).queue_.push_back(Pending{Event::EndElement, local, uri, {}});
    }
    static void Characters(void* context, const xmlChar* text, int length) {
        XmlStreamReader& self = Self(context);
        // Pieces of one text run are joined while they are still queued.
        if (!self.queue_.empty() && self.queue_.back().event == Event::Text) {
            self.queue_.back().text.append(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
        } else {
            self.queue_.push_back(Pending{Event::Text, nullptr, nullptr, std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length))});
        }
    }
};

XmlStreamReader::XmlStreamReader(const char* data, size_t length) : data_(data), length_(length) {
    InitXmlParser();
    RouteXmlMessagesOnThisThread();
    if (data == nullptr || length == 0 || length > static_cast<size_t>(INT_MAX)) {
        failed_ = true;
        return;
    }
    static xmlSAXHandler handler = [] {
        xmlSAXHandler h;
        std::memset(&h, 0, sizeof h);
        h.initialized = XML_SAX2_MAGIC;
        h.startElementNs = &Callbacks::Start;
        h.endElementNs = &Callbacks::End;
        h.characters = &Callbacks::Characters;
        h.ignorableWhitespace = &Callbacks::Characters;
        h.cdataBlock = &Callbacks::Characters;
        return h;
    }();
    // The first bytes tell the parser the encoding.
    const size_t first = length < 4 ? length : 4;
    parser_ = xmlCreatePushParserCtxt(&handler, nullptr, data, static_cast<int>(first), nullptr);
    if (parser_ == nullptr) {
        failed_ = true;
        return;
    }
    parser_->_private = this;
    xmlCtxtUseOptions(parser_, kParseOptions);
    offset_ = first;
}

XmlStreamReader::~XmlStreamReader() {
    if (parser_ != nullptr) {
        if (parser_->myDoc != nullptr) xmlFreeDoc(parser_->myDoc);
        xmlFreeParserCtxt(parser_);
    }
}

void XmlStreamReader::Feed() {
    const size_t piece = length_ - offset_ < kChunk ? length_ - offset_ : kChunk;
    const bool last = offset_ + piece == length_;
    const int result = xmlParseChunk(parser_, data_ + offset_, static_cast<int>(piece), last ? 1 : 0);
    offset_ += piece;
    if (result != 0 || parser_->wellFormed == 0) {
        failed_ = true;
    } else if (last) {
        finished_ = true;
    }
}

XmlStreamReader::Event XmlStreamReader::Next() {
    if (!queue_.empty()) queue_.pop_front();
    while (queue_.empty()) {
        // Events queued before a fault are not delivered: the caller drops everything anyway.
        if (failed_) return Event::Error;
        if (finished_) return sawRoot_ ? Event::End : Event::Error;
        Feed();
        if (failed_) queue_.clear();
    }
    return queue_.front().event;
}

std::string_view XmlStreamReader::LocalName() const { return queue_.empty() ? std::string_view() : View(queue_.front().local); }

std::string_view XmlStreamReader::NamespaceUri() const { return queue_.empty() ? std::string_view() : View(queue_.front().ns); }

std::string_view XmlStreamReader::Value() const { return queue_.empty() ? std::string_view() : std::string_view(queue_.front().text); }

}  // namespace platform::xml
