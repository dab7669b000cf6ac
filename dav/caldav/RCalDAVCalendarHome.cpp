#include "dav/caldav/RCalDAVCalendarHome.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "dav/caldav/CalDAVRequestBodies.h"
#include "dav/caldav/OpenOnServer.h"
#include "dav/http/ParseAnswer.h"
#include "dav/http/StatusLine.h"
#include "dav/xml/DavNamespaces.h"
#include "dav/xml/MultistatusParse.h"

using platform::xml::XmlNode;

namespace {
using Guard = platform::RecursiveMutexLock;

// The leading decimal number of a text, 0 without one.
int LeadingNumber(const std::string& text) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    const long long value = std::strtoll(p, nullptr, 10);
    return value > 2147483647LL || value < -2147483647LL ? 0 : static_cast<int>(value);
}

// Calls action on every calendar of the list.
template <typename Action>
void ForEachCalendar(const RList& calendars, Action action) {
    for (RListNode* node = calendars.head; node != nullptr; node = node->next) {
        action(*static_cast<RCalDAVCalendar*>(node->payload));
    }
}

}  // namespace

RCalDAVCalendarHome::RCalDAVCalendarHome() = default;

RCalDAVCalendarHome::~RCalDAVCalendarHome() {
    Guard guard(mutex_);
    SafeRelease(connection_);
    ReleaseCalendars();
}

void RCalDAVCalendarHome::ReleaseCalendars() {
    lastListing_.clear();
    listingRead_ = false;
    ForEachCalendar(calendars_, [](RCalDAVCalendar& calendar) { calendar.Release(); });
    calendars_.RemoveAll();
}

RResult RCalDAVCalendarHome::Open(const char* host, int port, const char* homePath, bool secure, const char* user,
                                  const char* password) {
    Guard guard(mutex_);
    SafeRelease(connection_);
    connection_ = new (std::nothrow) RWebDAVConnection();
    if (connection_ == nullptr) return R_E_OUT_OF_MEMORY;
    ReleaseCalendars();
    const RResult result = connection_->Initialize(host, port, secure, user, password);
    if (result != 0) return result;
    return connection_->SetPath(homePath);
}

RResult RCalDAVCalendarHome::SetUserAgent(const char* text) {
    Guard guard(mutex_);
    if (connection_ != nullptr) connection_->SetUserAgent(text);
    ForEachCalendar(calendars_, [&](RCalDAVCalendar& calendar) { calendar.SetUserAgent(text); });
    return 0;
}

RResult RCalDAVCalendarHome::GetConnection(RWebDAVConnection** out) {
    Guard guard(mutex_);
    if (out == nullptr) return R_E_INVALID_ARGUMENT;
    *out = connection_;
    if (connection_ != nullptr) connection_->AddRef();
    return 0;
}

RResult RCalDAVCalendarHome::SetCredentials(const char* user, const char* password) {
    Guard guard(mutex_);
    if (connection_ != nullptr) connection_->SetCredentials(user, password);
    ForEachCalendar(calendars_, [&](RCalDAVCalendar& calendar) { calendar.SetCredentials(user, password); });
    return 0;
}

RResult RCalDAVCalendarHome::SetBearerToken(const char* token) {
    Guard guard(mutex_);
    if (connection_ != nullptr) connection_->SetBearerToken(token);
    ForEachCalendar(calendars_, [&](RCalDAVCalendar& calendar) { calendar.SetBearerToken(token); });
    return 0;
}

RResult RCalDAVCalendarHome::LoadCalendars() {
    Guard guard(mutex_);
    if (connection_ == nullptr) return R_E_INVALID_ARGUMENT;
    return ParseAnswer(*connection_, connection_->Propfind(kDepth1Headers, kCalendarHomeBody),
                       [this](const char* body) { return ParseCalendars(body); });
}

RResult RCalDAVCalendarHome::ParseCalendars(const char* body) {
    Guard guard(mutex_);
    std::unique_ptr<platform::xml::XmlDocument> doc;
    const RResult loaded = LoadMultistatus(body, doc);
    if (loaded != 0) return loaded;
    lastListing_.clear();
    listingRead_ = false;
    if (!doc) return loaded;
    const RResult walked = WalkMultistatus(doc->Root());
    listingRead_ = walked == 0;
    return walked;
}

bool RCalDAVCalendarHome::GetLastListing(std::vector<RCalDAVCalendar*>* out) {
    Guard guard(mutex_);
    if (out == nullptr) return false;
    out->clear();
    if (!listingRead_) return false;
    for (RCalDAVCalendar* calendar : lastListing_) {
        calendar->AddRef();
        out->push_back(calendar);
    }
    return true;
}

RResult RCalDAVCalendarHome::WalkMultistatus(const XmlNode& node) {
    if (node.Is("response", kDavNamespace)) {
        RCalDAVCalendar* current = nullptr;
        return ParseResponseNode(node, current, nullptr, XmlNode());
    }
    for (auto child = node.FirstChild(); child; child = child.NextSibling()) {
        const RResult result = WalkMultistatus(child);
        if (result != 0) return result;
    }
    return 0;
}

RResult RCalDAVCalendarHome::ParseResponseNode(const XmlNode& node, RCalDAVCalendar*& current, int* statusHolder,
                                               const XmlNode& parent) {
    if (statusHolder != nullptr && *statusHolder >= 400) return 0;
    const std::string_view name = node.LocalName();
    const std::string_view parentName = parent ? parent.LocalName() : std::string_view();

    if (name == "href") {
        if (parentName == "source") {
            if (current != nullptr) current->SetSourceUrl(node.Text().c_str());
            return 0;
        }
        // Only the response's own href names a collection; hrefs inside properties
        // (free-busy set, default calendar...) are values, not calendars.
        if (node.NamespaceUri() == kDavNamespace && parent.Is("response", kDavNamespace)) {
            return FindOrCreateCalendar(node.Text().c_str(), current);
        }
        return 0;
    }
    if (parentName == "resourcetype") {
        // "calendar" names the CalDAV calendar element only; one of another namespace is some
        // other kind of collection.
        const bool otherCalendar = name == "calendar" && node.NamespaceUri() != kCalDavNamespace;
        if (current != nullptr && !otherCalendar) current->AddResourceType(std::string(name).c_str());
        return 0;
    }
    if (parentName == "supported-calendar-component-set") {
        if (current != nullptr) current->AddSupportedComponent(node.Markup().c_str());
        return 0;
    }
    if (node.Is("status", kDavNamespace)) {
        const int status = ParseStatusLine(node.Text());
        if (current != nullptr) current->SetStatus(status);
        if (statusHolder != nullptr) *statusHolder = status;
        return 0;
    }
    if (node.Is("propstat", kDavNamespace)) {
        if (current != nullptr && current->GetStatus() == 200) return 0;
        int fresh = 0;
        for (auto child = node.FirstChild(); child; child = child.NextSibling()) {
            const RResult result = ParseResponseNode(child, current, &fresh, node);
            if (result != 0) return result;
        }
        return 0;
    }
    if (node.Is("owner", kDavNamespace)) {
        if (current != nullptr) current->SetOwner(HrefValueText(node));
        return 0;
    }
    if (node.Is("displayname", kDavNamespace)) {
        if (current != nullptr) current->SetDisplayName(node.Text().c_str());
        return 0;
    }
    if (node.Is("privilege", kDavNamespace)) {
        if (current != nullptr) current->AddPrivilege(node.Text().c_str());
        return 0;
    }
    if (node.Is("calendar-color", kAppleICalNamespace)) {
        if (current != nullptr) current->SetColor(node.Text().c_str());
        return 0;
    }
    if (node.Is("calendar-order", kAppleICalNamespace)) {
        if (current != nullptr) current->SetOrder(LeadingNumber(node.Text()));
        return 0;
    }
    if (node.Is("getctag", kDavNamespace)) {
        if (current != nullptr) current->SetCtag(node.Text().c_str());
        return 0;
    }
    if (name == "bulk-requests") return 0;
    for (auto child = node.FirstChild(); child; child = child.NextSibling()) {
        const RResult result = ParseResponseNode(child, current, statusHolder, node);
        if (result != 0) return result;
    }
    return 0;
}

RResult RCalDAVCalendarHome::FindOrCreateCalendar(const char* href, RCalDAVCalendar*& current) {
    Guard guard(mutex_);
    if (href == nullptr || connection_ == nullptr) return R_E_INVALID_ARGUMENT;
    if (href[0] == '\0') {
        // An empty href names no resource; made into a calendar it would open at "/" and, never
        // matching its own href again, be added once more on every listing.
        current = nullptr;
        return 0;
    }
    if (RCalDAVCalendar* found = FindByHref(href); found != nullptr) {
        current = found;
        // A new listing's properties replace the last one's (a rename on the server arrives).
        if (NoteListed(found)) found->ResetListedProperties();
        return 0;
    }
    current = nullptr;
    auto* calendar = new (std::nothrow) RCalDAVCalendar();
    if (calendar == nullptr) return 0;
    const RResult result = OpenOnServerOf(*connection_, href, *calendar);
    if (result != 0 || calendars_.AddTail(calendar) != 0) {
        // Not listed: nobody would release it later.
        calendar->Release();
        return result != 0 ? result : R_E_OUT_OF_MEMORY;
    }
    current = calendar;
    (void)NoteListed(calendar);
    return 0;
}

bool RCalDAVCalendarHome::NoteListed(RCalDAVCalendar* calendar) {
    for (RCalDAVCalendar* listed : lastListing_) {
        if (listed == calendar) return false;
    }
    lastListing_.push_back(calendar);
    return true;
}

int RCalDAVCalendarHome::GetCalendarCount() {
    Guard guard(mutex_);
    return calendars_.count;
}

RCalDAVCalendar* RCalDAVCalendarHome::GetAt(int index) {
    Guard guard(mutex_);
    if (index < 0 || index >= calendars_.count) return nullptr;
    return static_cast<RCalDAVCalendar*>(calendars_.PayloadAt(index));
}

RCalDAVCalendar* RCalDAVCalendarHome::FindByHref(const char* href) {
    Guard guard(mutex_);
    if (href == nullptr) return nullptr;
    for (RListNode* node = calendars_.head; node != nullptr; node = node->next) {
        auto* calendar = static_cast<RCalDAVCalendar*>(node->payload);
        CStringA path;
        calendar->GetHref(&path);
        if (path == CStringA(href)) return calendar;
    }
    return nullptr;
}
