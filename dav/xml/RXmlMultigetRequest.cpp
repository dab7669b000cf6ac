#include "dav/xml/RXmlRequest.h"

#include <cstring>
#include <new>

namespace {

constexpr char kCalDavHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?> "
    "<x1:calendar-multiget xmlns:x0=\"DAV:\" xmlns:x1=\"urn:ietf:params:xml:ns:caldav\">   "
    "<x0:prop>     <x0:getetag/>     <x1:schedule-tag/> \t<x1:calendar-data/>   </x0:prop> ";
constexpr char kCalDavTail[] = "</x1:calendar-multiget>";
constexpr char kCardDavHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?> "
    "<x1:addressbook-multiget xmlns:x0=\"DAV:\" xmlns:x1=\"urn:ietf:params:xml:ns:carddav\">   "
    "<x0:prop>     <x0:getetag/>     <x1:schedule-tag/> \t<x1:address-data/>   </x0:prop> ";
constexpr char kCardDavTail[] = "</x1:addressbook-multiget>";

}  // namespace

CStringA EscapeXmlText(const char* text) {
    CStringA out;
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        switch (*p) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out += *p; break;
        }
    }
    return out;
}

RXmlMultigetRequest::~RXmlMultigetRequest() { Clear(); }

RResult RXmlMultigetRequest::Clear() {
    for (RListNode* node = entries_.head; node != nullptr; node = node->next) delete static_cast<Entry*>(node->payload);
    entries_.RemoveAll();
    return 0;
}

int RXmlMultigetRequest::GetCount() { return entries_.count; }

RResult RXmlMultigetRequest::AddHref(const char* href) {
    auto* entry = new (std::nothrow) Entry{CStringA(href), false};
    if (entry == nullptr) return R_E_OUT_OF_MEMORY;
    const RResult result = entries_.AddTail(entry);
    if (result != 0) delete entry;
    return result;
}

RResult RXmlMultigetRequest::BuildBody(CStringA& body, const char* kind) {
    const bool calDav = kind != nullptr && std::strcmp(kind, "caldav") == 0;
    body = calDav ? kCalDavHead : kCardDavHead;
    int batch = 0;
    for (RListNode* node = entries_.head; node != nullptr && batch < kMultigetBatchSize; node = node->next, ++batch) {
        auto* entry = static_cast<Entry*>(node->payload);
        entry->sent = true;
        body += "  <x0:href>";
        body += EscapeXmlText(entry->href);
        body += "</x0:href>";
    }
    body += calDav ? kCalDavTail : kCardDavTail;
    return 0;
}

RResult RXmlMultigetRequest::RemoveSent() {
    int index = 0;
    RListNode* node = entries_.head;
    while (node != nullptr) {
        RListNode* next = node->next;
        auto* entry = static_cast<Entry*>(node->payload);
        if (entry->sent) {
            delete entry;
            entries_.RemoveAt(index);
        } else {
            ++index;
        }
        node = next;
    }
    return 0;
}
