#pragma once
// A forward-only reader over an XML text (libxml2's SAX2 push parser, fed in pieces): element
// starts and ends and their text, read as the parser goes, without building a document. Only
// the events of one piece of input are held at a time. The text is either held in memory whole,
// or handed over piece by piece as it arrives (Feed), so that a long answer need not be kept.
// Parsed without network access, DTD loading or entity substitution.
// Threads: one thread per reader; readers on different threads are independent.
#include <deque>
#include <string>
#include <string_view>

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

    Event Next();
    // Of a fed reader: the next piece of the text (copied by the parser), `last` on the final one
    // (which may be empty). Its events are then given by Next.
    void Feed(const char* piece, size_t length, bool last);
    // Of the last StartElement or EndElement.
    std::string_view LocalName() const;
    std::string_view NamespaceUri() const;
    // Of the last Text event.
    std::string_view Value() const;

private:
    struct Callbacks;
    struct Pending {
        Event event;
        const unsigned char* local;  // owned by the parser's dictionary
        const unsigned char* ns;
        std::string text;
    };
    void FeedHeld();
    bool Begin(const char* first, size_t length);

    const char* data_ = nullptr;
    size_t length_ = 0;
    bool fed_ = false;    // pieces come from Feed, not from data_
    bool given_ = false;  // a fed reader's pieces so far are all with the parser
    size_t offset_ = 0;
    _xmlParserCtxt* parser_ = nullptr;
    std::deque<Pending> queue_;  // the front is the current event
    bool sawRoot_ = false;
    bool finished_ = false;
    bool failed_ = false;
};

}  // namespace platform::xml
