#pragma once
// A read-only XML document over libxml2: parsed without network access, without DTD loading
// and without entity substitution. Callers walk element nodes only.
// Threads: a document and its nodes belong to one thread at a time; separate documents may be
// parsed on separate threads.
#include <memory>
#include <string>
#include <string_view>

#include "platform/core/WinTypes.h"

// libxml2's own type names, declared here so that its headers stay out of ours.
struct _xmlDoc;   // NOLINT(bugprone-reserved-identifier)
struct _xmlNode;  // NOLINT(bugprone-reserved-identifier)

namespace platform::xml {

// A borrowed element of a document; valid while the document lives. A default node is null.
class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(_xmlNode* node) : node_(node) {}

    explicit operator bool() const { return node_ != nullptr; }
    // Element's local name and namespace URI ("" without one).
    std::string_view LocalName() const;
    std::string_view NamespaceUri() const;
    bool Is(std::string_view localName, std::string_view namespaceUri) const {
        return node_ != nullptr && LocalName() == localName && NamespaceUri() == namespaceUri;
    }
    // The text of the element and all its descendants, blanks at both ends removed.
    std::string Text() const;
    // The element serialised as markup.
    std::string Markup() const;
    // First element child and next element sibling (text, comments and the like are skipped).
    XmlNode FirstChild() const;
    XmlNode NextSibling() const;
    // The first element child with that name in that namespace.
    XmlNode FindChild(std::string_view localName, std::string_view namespaceUri) const;
    // The first element with that name in that namespace in this subtree, in document order
    // (this node included).
    XmlNode FindDescendant(std::string_view localName, std::string_view namespaceUri) const;

private:
    _xmlNode* node_ = nullptr;
};

class XmlDocument {
public:
    // Parses `length` bytes; null when they are not a well-formed document (empty input
    // included). The caller decides the result code.
    static std::unique_ptr<XmlDocument> Parse(const char* data, size_t length);
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    XmlNode Root() const;

private:
    explicit XmlDocument(_xmlDoc* doc) : doc_(doc) {}
    _xmlDoc* doc_;
};

// True when the text holds nothing but blanks (or nothing at all).
bool IsBlankText(const char* data, size_t length);

// Sets up the parser's global state; call once before worker threads parse (Parse also does).
void InitXmlParser();

}  // namespace platform::xml
