#pragma once
// A forward-only reader over an XML text held in memory (libxml2's text reader): element starts
// and ends and their text, read as the parser goes, without building a document. The text is
// read in place, so memory stays near the size of the input however many elements it holds.
// Parsed without network access, DTD loading or entity substitution.
// Threads: one thread per reader; readers on different threads are independent.
#include <string>
#include <string_view>

struct _xmlTextReader;

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
    // Of the last StartElement (and of the EndElement that closes it).
    std::string_view LocalName() const;
    std::string_view NamespaceUri() const;
    // Of the last Text event.
    std::string_view Value() const;

private:
    _xmlTextReader* reader_ = nullptr;
    bool pendingEnd_ = false;  // an empty element still owes its EndElement
    bool sawRoot_ = false;
    bool done_ = false;
};

}  // namespace platform::xml
