#pragma once
// A forward-only reader over an XML text held in memory (libxml2's SAX2 push parser, fed in
// pieces): element starts and ends and their text, read as the parser goes, without building a
// document. Only the events of one piece of input are held at a time, so memory stays near the
// size of the input however many elements it holds.
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
    };

    // `data` must stay unchanged while the reader lives.
    XmlStreamReader(const char* data, size_t length);
    ~XmlStreamReader();
    XmlStreamReader(const XmlStreamReader&) = delete;
    XmlStreamReader& operator=(const XmlStreamReader&) = delete;

    Event Next();
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
    void Feed();

    const char* data_;
    size_t length_;
    size_t offset_ = 0;
    _xmlParserCtxt* parser_ = nullptr;
    std::deque<Pending> queue_;  // the front is the current event
    bool sawRoot_ = false;
    bool finished_ = false;
    bool failed_ = false;
};

}  // namespace platform::xml
