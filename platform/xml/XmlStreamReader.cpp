#include "platform/xml/XmlStreamReader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlMessages.h"

namespace platform::xml {
namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
// The input is handed to the parser in pieces of this size; the events of one piece are queued.
constexpr size_t kChunk = 64 * 1024;

}  // namespace

// The parser's callbacks, queueing events for Next. Names come from the parser's dictionary,
// which lives as long as the parser; text is copied into the queue's text buffer.
struct XmlStreamReader::Callbacks {
    static XmlStreamReader& Self(void* context) {
        return *static_cast<XmlStreamReader*>(static_cast<xmlParserCtxtPtr>(context)->_private);
    }
    static void Start(void* context, const xmlChar* local, const xmlChar*, const xmlChar* uri, int, const xmlChar**, int, int,
                      const xmlChar**) {
        XmlStreamReader& self = Self(context);
        self.sawRoot_ = true;
        self.queue_.push_back(Pending{Event::StartElement, local, uri, 0, 0});
    }
    static void End(void* context, const xmlChar* local, const xmlChar*, const xmlChar* uri) {
        Self(context).queue_.push_back(Pending{Event::EndElement, local, uri, 0, 0});
    }
    // Called once per line of a long text (and per character reference): kept short, with the
    // rare work (a new event, a larger buffer) out of line.
    static void Characters(void* context, const xmlChar* text, int length) {
        XmlStreamReader& self = Self(context);
        const size_t size = static_cast<size_t>(length);
        if (size > self.textCapacity_ - self.textUsed_) self.GrowText(size);
        // Pieces of one text run are joined while they are still queued: the last queued text
        // is the end of the buffer.
        if (!self.queue_.empty() && self.queue_.back().event == Event::Text) {
            self.queue_.back().textLength += size;
        } else {
            self.QueueText(size);
        }
        std::memcpy(self.text_.get() + self.textUsed_, text, size);
        self.textUsed_ += size;
    }
};

XmlStreamReader::XmlStreamReader(const char* data, size_t length) : data_(data), length_(length) {
    InitXmlParser();
    RouteXmlMessagesOnThisThread();
    if (data == nullptr || length == 0 || length > static_cast<size_t>(INT_MAX)) {
        failed_ = true;
        return;
    }
    // The text of a piece is at most about its length, and its events rarely more than one per
    // 32 bytes: room for those at once spares copying them while the buffers grow.
    textStart_ = std::min(length, kChunk);
    try {
        queue_.reserve(textStart_ / 32);
    } catch (const std::bad_alloc&) {
        // Only a head start: the queue grows as it needs.
    }
    // The first bytes tell the parser the encoding.
    const size_t first = length < 4 ? length : 4;
    if (Begin(data, first)) offset_ = first;
}

XmlStreamReader::XmlStreamReader() : fed_(true) {
    InitXmlParser();
    RouteXmlMessagesOnThisThread();
}

bool XmlStreamReader::Begin(const char* first, size_t length) {
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
    parser_ = xmlCreatePushParserCtxt(&handler, nullptr, first, static_cast<int>(length), nullptr);
    if (parser_ == nullptr) {
        failed_ = true;
        return false;
    }
    parser_->_private = this;
    xmlCtxtUseOptions(parser_, kParseOptions);
    return true;
}

XmlStreamReader::~XmlStreamReader() {
    if (parser_ != nullptr) {
        if (parser_->myDoc != nullptr) xmlFreeDoc(parser_->myDoc);
        xmlFreeParserCtxt(parser_);
    }
}

void XmlStreamReader::GrowText(size_t length) {
    // Grown by doubling and kept for the next pieces.
    const size_t capacity = std::max({textCapacity_ * 2, textUsed_ + length, textStart_});
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (textUsed_ > 0) std::memcpy(grown.get(), text_.get(), textUsed_);
    text_ = std::move(grown);
    textCapacity_ = capacity;
}

void XmlStreamReader::QueueText(size_t length) { queue_.push_back(Pending{Event::Text, nullptr, nullptr, textUsed_, length}); }

void XmlStreamReader::PopFront() {
    if (++head_ == queue_.size()) Drop();
}

void XmlStreamReader::Drop() {
    queue_.clear();
    textUsed_ = 0;
    head_ = 0;
}

void XmlStreamReader::FeedHeld() {
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

void XmlStreamReader::Feed(const char* piece, size_t length, bool last) {
    if (!fed_ || failed_ || finished_) return;
    // Events not read yet stay ahead of the new piece's.
    if (!given_ && Queued()) PopFront();
    given_ = false;
    while (length > 0 || last) {
        // The parser takes an int length: a longer piece goes in parts.
        const size_t part = length < kChunk ? length : kChunk;
        const bool final = last && part == length;
        if (parser_ == nullptr) {
            // Nothing but an empty text is no document.
            if (part == 0 || !Begin(piece, part)) {
                failed_ = true;
                break;
            }
            if (final && xmlParseChunk(parser_, nullptr, 0, 1) != 0) failed_ = true;
        } else if (xmlParseChunk(parser_, piece, static_cast<int>(part), final ? 1 : 0) != 0) {
            failed_ = true;
        }
        if (failed_ || parser_->wellFormed == 0) {
            failed_ = true;
            break;
        }
        piece += part;
        length -= part;
        if (final) {
            finished_ = true;
            break;
        }
    }
    if (failed_) Drop();
    given_ = true;
}

XmlStreamReader::Event XmlStreamReader::NextFromParser() {
    // A fed reader's first event after a Feed is the queue's front, not yet read.
    if (fed_ && given_) {
        given_ = false;
    } else if (Queued()) {
        PopFront();
    }
    while (!Queued()) {
        // Events queued before a fault are not delivered: the caller drops everything anyway.
        if (failed_) return Event::Error;
        if (finished_) return sawRoot_ ? Event::End : Event::Error;
        if (fed_) {
            given_ = true;  // the next Feed's events start fresh
            return Event::NeedMore;
        }
        FeedHeld();
        if (failed_) Drop();
    }
    return queue_[head_].event;
}

}  // namespace platform::xml
