#pragma once
// A forward-only reader over an XML text (libxml2's SAX2 push parser, fed in pieces): element
// starts and ends and their text, read as the parser goes, without building a document. Only
// the events of one piece of input are held at a time. The text is either held in memory whole,
// or handed over piece by piece as it arrives (Feed), so that a long answer need not be kept.
// Parsed without network access, DTD loading or entity substitution.
// Threads: one thread per reader; readers on different threads are independent.
#include <memory>
#include <string_view>
#include <vector>

struct _xmlParserCtxt;  // NOLINT(bugprone-reserved-identifier): libxml2's own type name

namespace platform::xml {

class XmlStreamReader {
public:
    enum class Event {
        StartElement,  // LocalName and NamespaceUri describe it; an empty element is followed by its EndElement
        EndElement,
        Text,          // character data or CDATA (blanks between elements included) in Value
        End,           // the whole text was read and was a well-formed document
        Error,         // not well-formed (or nothing but blanks); nothing more is read
        NeedMore,      // a fed reader has used all it was given: Feed the next piece
    };

    // `data` must stay unchanged while the reader lives.
    XmlStreamReader(const char* data, size_t length);
    // A reader fed by Feed; no piece yet.
    XmlStreamReader();
    ~XmlStreamReader();
    XmlStreamReader(const XmlStreamReader&) = delete;
    XmlStreamReader& operator=(const XmlStreamReader&) = delete;

    Event Next() {
        // Most calls just step to the next event already queued.
        if (!given_ && head_ + 1 < queue_.size()) return queue_[++head_].event;
        return NextFromParser();
    }
    // Of a fed reader: the next piece of the text (copied by the parser), `last` on the final one
    // (which may be empty). Its events are then given by Next.
    void Feed(const char* piece, size_t length, bool last);
    // Of the last StartElement or EndElement.
    std::string_view LocalName() const { return Queued() ? Name(queue_[head_].local) : std::string_view(); }
    std::string_view NamespaceUri() const { return Queued() ? Name(queue_[head_].ns) : std::string_view(); }
    // Of the last Text event.
    std::string_view Value() const {
        return Queued() ? std::string_view(text_.get() + queue_[head_].textAt, queue_[head_].textLength) : std::string_view();
    }

private:
    struct Callbacks;
    struct Pending {
        Event event;
        const unsigned char* local;  // owned by the parser's dictionary
        const unsigned char* ns;
        size_t textAt;  // of a Text event: where its text starts in text_
        size_t textLength;
    };
    static std::string_view Name(const unsigned char* name) {
        return name != nullptr ? std::string_view(reinterpret_cast<const char*>(name)) : std::string_view();
    }
    Event NextFromParser();
    [[gnu::noinline]] void GrowText(size_t length);
    [[gnu::noinline]] void QueueText(size_t length);
    void FeedHeld();
    bool Begin(const char* first, size_t length);
    bool Queued() const { return head_ < queue_.size(); }
    void PopFront();
    void Drop();

    const char* data_ = nullptr;
    size_t length_ = 0;
    bool fed_ = false;    // pieces come from Feed, not from data_
    bool given_ = false;  // a fed reader's pieces so far are all with the parser
    size_t offset_ = 0;
    _xmlParserCtxt* parser_ = nullptr;
    // The events of a piece, from head_ on not yet passed; queue_[head_] is the current event.
    // Both buffers are emptied, not freed, once every event was passed: the next piece reuses them.
    std::vector<Pending> queue_;
    size_t head_ = 0;
    std::unique_ptr<char[]> text_;  // the text of the queued Text events, one after another
    size_t textUsed_ = 0;
    size_t textCapacity_ = 0;
    size_t textStart_ = 4096;  // the buffer's first size
    bool sawRoot_ = false;
    bool finished_ = false;
    bool failed_ = false;
};

}  // namespace platform::xml
