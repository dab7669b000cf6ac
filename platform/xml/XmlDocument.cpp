#include "platform/xml/XmlDocument.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <mutex>

#include "platform/xml/XmlMessages.h"

namespace platform::xml {
namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;

xmlNode* ElementFrom(xmlNode* node) {
    while (node != nullptr && node->type != XML_ELEMENT_NODE) node = node->next;
    return node;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

// Text and CDATA of the subtree; entity references are not expanded. Documents are at most
// 256 levels deep (the parser's limit), which bounds the recursion.
void AppendText(const xmlNode* node, std::string& out) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content != nullptr) {
            out += reinterpret_cast<const char*>(child->content);
        } else if (child->type == XML_ELEMENT_NODE) {
            AppendText(child, out);
        }
    }
}

}  // namespace

void InitXmlParser() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

bool IsBlankText(const char* data, size_t length) {
    if (data == nullptr) return true;
    for (size_t i = 0; i < length; ++i) {
        const char c = data[i];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\0') return false;
    }
    return true;
}

std::unique_ptr<XmlDocument> XmlDocument::Parse(const char* data, size_t length) {
    InitXmlParser();
    RouteXmlMessagesOnThisThread();
    if (data == nullptr || length == 0 || length > static_cast<size_t>(INT_MAX)) return nullptr;
    xmlDoc* doc = xmlReadMemory(data, static_cast<int>(length), nullptr, nullptr, kParseOptions);
    if (doc == nullptr) return nullptr;
    if (xmlDocGetRootElement(doc) == nullptr) {
        xmlFreeDoc(doc);
        return nullptr;
    }
    return std::unique_ptr<XmlDocument>(new XmlDocument(doc));
}

XmlDocument::~XmlDocument() { xmlFreeDoc(doc_); }

XmlNode XmlDocument::Root() const { return XmlNode(xmlDocGetRootElement(doc_)); }

std::string_view XmlNode::LocalName() const {
    return node_ != nullptr && node_->name != nullptr ? std::string_view(reinterpret_cast<const char*>(node_->name)) : std::string_view();
}

std::string_view XmlNode::NamespaceUri() const {
    return node_ != nullptr && node_->ns != nullptr && node_->ns->href != nullptr
               ? std::string_view(reinterpret_cast<const char*>(node_->ns->href))
               : std::string_view();
}

std::string XmlNode::Text() const {
    if (node_ == nullptr) return {};
    std::string text;
    AppendText(node_, text);
    return std::string(Trim(text));
}

std::string XmlNode::Markup() const {
    if (node_ == nullptr) return {};
    xmlBuffer* buffer = xmlBufferCreate();
    if (buffer == nullptr) return {};
    std::string markup;
    if (xmlNodeDump(buffer, node_->doc, node_, 0, 0) >= 0) {
        markup.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)), static_cast<size_t>(xmlBufferLength(buffer)));
    }
    xmlBufferFree(buffer);
    return markup;
}

XmlNode XmlNode::FirstChild() const { return XmlNode(node_ != nullptr ? ElementFrom(node_->children) : nullptr); }

XmlNode XmlNode::NextSibling() const { return XmlNode(node_ != nullptr ? ElementFrom(node_->next) : nullptr); }

XmlNode XmlNode::FindChild(std::string_view localName, std::string_view namespaceUri) const {
    for (XmlNode child = FirstChild(); child; child = child.NextSibling()) {
        if (child.Is(localName, namespaceUri)) return child;
    }
    return XmlNode();
}

XmlNode XmlNode::FindDescendant(std::string_view localName, std::string_view namespaceUri) const {
    // Iterative pre-order walk: deep documents cannot exhaust the stack.
    xmlNode* root = node_;
    xmlNode* current = node_;
    while (current != nullptr) {
        XmlNode candidate(current);
        if (candidate.Is(localName, namespaceUri)) return candidate;
        xmlNode* child = ElementFrom(current->children);
        if (child != nullptr) {
            current = child;
            continue;
        }
        while (current != nullptr && current != root) {
            xmlNode* next = ElementFrom(current->next);
            if (next != nullptr) {
                current = next;
                break;
            }
            current = current->parent;
        }
        if (current == root) break;
    }
    return XmlNode();
}

}  // namespace platform::xml
