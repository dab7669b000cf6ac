#include "dav/caldav/RCalDAVCalendar.h"

#include <cstring>
#include <new>

#include "dav/caldav/CalDAVRequestBodies.h"
#include "dav/http/ParseAnswer.h"
#include "dav/http/StatusLine.h"
#include "dav/xml/DavNamespaces.h"
#include "platform/http/HeaderBlock.h"
#include "platform/xml/XmlDocument.h"

namespace {

using Guard = platform::RecursiveMutexLock;

bool HasText(const char* text) { return text != nullptr && *text != '\0'; }

RResult FoldSuccess(RResult result) { return result >= 200 && result <= 299 ? 0 : result; }

}  // namespace

RResult StatusOfMultistatusPut(const char* body) {
    constexpr RResult kConflict = 409;
    if (body == nullptr) return kConflict;
    const auto doc = platform::xml::XmlDocument::Parse(body, std::strlen(body));
    if (!doc) return kConflict;
    const auto status = doc->Root().FindDescendant("status", kDavNamespace);
    const int number = status ? ParseStatusLine(status.Text()) : 0;
    return number >= 300 ? number : kConflict;
}

RCalDAVCalendar::RCalDAVCalendar() = default;

RCalDAVCalendar::~RCalDAVCalendar() {
    SafeRelease(multigetResponse_);
    SafeRelease(multigetRequest_);
    SafeRelease(etagResponse_);
    SafeRelease(connection_);
}

RResult RCalDAVCalendar::Open(const char* host, int port, const char* path, bool secure, const char* user, const char* password) {
    Guard guard(mutex_);
    SafeRelease(connection_);
    SafeRelease(multigetRequest_);
    connection_ = new (std::nothrow) RWebDAVConnection();
    if (connection_ == nullptr) return R_E_OUT_OF_MEMORY;
    RResult result = connection_->Initialize(host, port, secure, user, password);
    if (result != 0) return result;
    result = connection_->SetPath(path);
    if (result != 0) return result;
    multigetRequest_ = new (std::nothrow) RXmlMultigetRequest();
    return multigetRequest_ == nullptr ? R_E_OUT_OF_MEMORY : 0;
}

RResult RCalDAVCalendar::SetUserAgent(const char* text) {
    Guard guard(mutex_);
    if (connection_ != nullptr) connection_->SetUserAgent(text);
    return 0;
}

CStringA RCalDAVCalendar::GetUserAgent() {
    Guard guard(mutex_);
    return connection_ != nullptr ? connection_->GetUserAgent() : CStringA();
}

RResult RCalDAVCalendar::SetCredentials(const char* user, const char* password) {
    Guard guard(mutex_);
    if (connection_ != nullptr) connection_->SetCredentials(user, password);
    return 0;
}

RResult RCalDAVCalendar::SetBearerToken(const char* token) {
    Guard guard(mutex_);
    if (connection_ != nullptr) connection_->SetBearerToken(token);
    return 0;
}

RResult RCalDAVCalendar::GetConnection(RWebDAVConnection** out) {
    Guard guard(mutex_);
    if (out == nullptr) return R_E_INVALID_ARGUMENT;
    *out = connection_;
    if (connection_ != nullptr) connection_->AddRef();
    return 0;
}

RResult RCalDAVCalendar::GetHref(CStringA* out) {
    Guard guard(mutex_);
    if (out != nullptr && connection_ != nullptr) connection_->GetServer(nullptr, nullptr, out, nullptr);
    return 0;
}

RResult RCalDAVCalendar::FetchCtag() {
    Guard guard(mutex_);
    if (connection_ == nullptr) return R_E_INVALID_ARGUMENT;
    return ParseAnswer(*connection_, connection_->Propfind(kDepth0Headers, kCtagBody),
                       [this](const char* body) { return ParseCtagResponse(body); });
}

RResult RCalDAVCalendar::ParseCtagResponse(const char* body) {
    Guard guard(mutex_);
    auto* response = new (std::nothrow) RXmlPropertiesResponse();
    if (response == nullptr) return R_E_OUT_OF_MEMORY;
    RResult result = response->Parse(body);
    if (result == 0) {
        CStringA value;
        if (response->Find("getctag", nullptr, nullptr, &value) == 0) SetCtag(value);
        if (response->Find("sync-token", nullptr, nullptr, &value) == 0) SetSyncToken(value);
    }
    response->Release();
    return result;
}

RResult RCalDAVCalendar::FetchEtags() {
    Guard guard(mutex_);
    if (connection_ == nullptr) return R_E_INVALID_ARGUMENT;
    // The previous listing goes first: a failed fetch must not leave it to be read as current.
    SafeRelease(etagResponse_);
    return ParseAnswer(*connection_, connection_->Propfind(kDepth1Headers, kEtagsBody),
                       [this](const char* body) { return ParseEtagResponse(body); });
}

RResult RCalDAVCalendar::ListEtags(EtagListingVisitor& visitor) {
    Guard guard(mutex_);
    if (connection_ == nullptr) return R_E_INVALID_ARGUMENT;
    SafeRelease(etagResponse_);
    EtagListingStream listing(visitor);
    bool hadBody = false;
    const RResult result = connection_->PropfindStreamed(kDepth1Headers, kEtagsBody, listing, &hadBody);
    if (!RSucceeded(result) || !hadBody) return result;
    return listing.Finish();
}

RResult RCalDAVCalendar::ParseEtagResponse(const char* body) {
    Guard guard(mutex_);
    SafeRelease(etagResponse_);
    etagResponse_ = new (std::nothrow) RXmlEtagResponse();
    if (etagResponse_ == nullptr) return R_E_OUT_OF_MEMORY;
    return etagResponse_->Parse(body);
}

RResult RCalDAVCalendar::GetEtagResponse(RXmlEtagResponse** out) {
    Guard guard(mutex_);
    if (out == nullptr) return R_E_INVALID_ARGUMENT;
    *out = etagResponse_;
    return 0;
}

int RCalDAVCalendar::GetPendingHrefCount() {
    Guard guard(mutex_);
    return multigetRequest_ != nullptr ? multigetRequest_->GetCount() : 0;
}

RResult RCalDAVCalendar::AddMultigetHref(const char* href) {
    Guard guard(mutex_);
    if (multigetRequest_ == nullptr) return R_E_INVALID_ARGUMENT;
    return multigetRequest_->AddHref(href);
}

RResult RCalDAVCalendar::FetchMultiget() {
    Guard guard(mutex_);
    SafeRelease(multigetResponse_);
    multigetResponse_ = new (std::nothrow) RXmlMultigetResponse();
    if (multigetResponse_ == nullptr) return R_E_OUT_OF_MEMORY;
    if (connection_ == nullptr || multigetRequest_ == nullptr) return GetPendingHrefCount() == 0 ? 0 : R_E_INVALID_ARGUMENT;
    RResult result = 0;
    while (result == 0 && GetPendingHrefCount() > 0) {
        CStringA body;
        result = multigetRequest_->BuildBody(body, "caldav");
        if (result != 0) break;
        result = ParseAnswer(*connection_, connection_->Report(kMultigetHeaders, body),
                             [this](const char* answer) { return ParseMultigetResponse(answer); });
        multigetRequest_->RemoveSent();
    }
    return result;
}

RResult RCalDAVCalendar::ParseMultigetResponse(const char* body) {
    Guard guard(mutex_);
    return multigetResponse_ != nullptr ? multigetResponse_->Parse(body) : 0;
}

RResult RCalDAVCalendar::GetMultigetResponse(RXmlMultigetResponse** out) {
    Guard guard(mutex_);
    if (out == nullptr) return R_E_INVALID_ARGUMENT;
    *out = multigetResponse_;
    return 0;
}

RResult RCalDAVCalendar::PutResource(const char* body, const char* href, const char* scheduleTag, const char* etag,
                                     CStringA* newEtag, CStringA* newScheduleTag) {
    Guard guard(mutex_);
    if (newEtag != nullptr) newEtag->Empty();
    if (newScheduleTag != nullptr) newScheduleTag->Empty();
    // Without an href the request would name the collection itself.
    if (connection_ == nullptr || !HasText(href)) return R_E_INVALID_ARGUMENT;
    CStringA headers = "Content-Type: text/calendar\n";
    const bool createOnly = !HasText(scheduleTag) && !HasText(etag);
    if (HasText(scheduleTag)) {
        if (!platform::http::IsSafeHeaderValue(scheduleTag)) return R_E_INVALID_ARGUMENT;
        headers += "If-Schedule-Tag-Match: ";
        headers += scheduleTag;
    } else if (HasText(etag)) {
        if (!platform::http::IsSafeHeaderValue(etag)) return R_E_INVALID_ARGUMENT;
        headers += "If-Match: ";
        headers += etag;
    } else {
        headers += "If-None-Match: *";
    }
    // The answer's headers are read before another request can replace it.
    platform::RecursiveMutexLock held(connection_->Mutex());
    RResult result = connection_->Put(headers, body, href);
    // Only a create may clear the way by deleting: under a tag precondition the server's copy
    // is newer than ours, and deleting it would lose it.
    if (result == 409 && createOnly) {
        connection_->Delete(nullptr, href);
        result = connection_->Put(headers, body, href);
        if (result == 409) {
            connection_->Get(nullptr, href);
            result = 409;
        }
    }
    if (result == 207) {
        RHeapBuffer* answer = connection_->ReadResponse();
        return StatusOfMultistatusPut(answer != nullptr ? answer->data : nullptr);
    }
    result = FoldSuccess(result);
    if (result == 0) {
        // The tags of exactly the text we sent: a later read may already see another client's.
        if (newEtag != nullptr) connection_->GetResponseHeader("ETag", newEtag);
        if (newScheduleTag != nullptr) connection_->GetResponseHeader("Schedule-Tag", newScheduleTag);
    }
    return result;
}

RResult RCalDAVCalendar::MoveResource(const char* href, const char* destination) {
    Guard guard(mutex_);
    if (connection_ == nullptr || !HasText(href)) return R_E_INVALID_ARGUMENT;
    if (destination != nullptr && !platform::http::IsSafeHeaderValue(destination)) return R_E_INVALID_ARGUMENT;
    // Servers want the destination as an absolute URL.
    const CStringA target = destination != nullptr && destination[0] == '/' ? connection_->AbsoluteUrl(destination) : CStringA(destination);
    return FoldSuccess(connection_->Move(href, target, true));
}

RResult RCalDAVCalendar::DeleteResource(const char* href) {
    Guard guard(mutex_);
    // An empty href would DELETE the whole calendar collection on the server.
    if (connection_ == nullptr || !HasText(href)) return R_E_INVALID_ARGUMENT;
    return FoldSuccess(connection_->Delete(nullptr, href));
}

RResult RCalDAVCalendar::GetText(const CStringA& value, CStringA* out) {
    if (out != nullptr) *out = value;
    return 0;
}

void RCalDAVCalendar::AppendListed(CStringA& value, const char* text) {
    if (!value.IsEmpty()) value += ", ";
    value += text;
}

RResult RCalDAVCalendar::SetOwner(const char* text) { Guard g(mutex_); owner_ = text; return 0; }
RResult RCalDAVCalendar::GetOwner(CStringA* out) { Guard g(mutex_); return GetText(owner_, out); }
RResult RCalDAVCalendar::SetDisplayName(const char* text) { Guard g(mutex_); displayName_ = text; return 0; }
RResult RCalDAVCalendar::GetDisplayName(CStringA* out) { Guard g(mutex_); return GetText(displayName_, out); }
RResult RCalDAVCalendar::SetColor(const char* text) { Guard g(mutex_); color_ = text; return 0; }
RResult RCalDAVCalendar::GetColor(CStringA* out) { Guard g(mutex_); return GetText(color_, out); }
RResult RCalDAVCalendar::SetOrder(int order) { Guard g(mutex_); order_ = order; return 0; }
RResult RCalDAVCalendar::GetOrder(int* out) {
    Guard g(mutex_);
    if (out != nullptr) *out = order_;
    return 0;
}
RResult RCalDAVCalendar::SetResourceTypes(const char* text) { Guard g(mutex_); resourceTypes_ = text; return 0; }
RResult RCalDAVCalendar::AddResourceType(const char* text) { Guard g(mutex_); AppendListed(resourceTypes_, text); return 0; }
RResult RCalDAVCalendar::GetResourceTypes(CStringA* out) { Guard g(mutex_); return GetText(resourceTypes_, out); }
RResult RCalDAVCalendar::AddSupportedComponent(const char* text) { Guard g(mutex_); AppendListed(supportedComponents_, text); return 0; }
RResult RCalDAVCalendar::GetSupportedComponents(CStringA* out) { Guard g(mutex_); return GetText(supportedComponents_, out); }
RResult RCalDAVCalendar::AddPrivilege(const char* text) { Guard g(mutex_); AppendListed(privileges_, text); return 0; }
RResult RCalDAVCalendar::GetPrivileges(CStringA* out) { Guard g(mutex_); return GetText(privileges_, out); }

RResult RCalDAVCalendar::SetSourceUrl(const char* text) {
    Guard g(mutex_);
    if (sourceUrl_ != CStringA(text)) sourceUrl_ = text;
    return 0;
}
RResult RCalDAVCalendar::GetSourceUrl(CStringA* out) { Guard g(mutex_); return GetText(sourceUrl_, out); }

RResult RCalDAVCalendar::SetCtag(const char* text) {
    Guard g(mutex_);
    if (ctag_ != CStringA(text)) {
        ctag_ = text;
        changed_ = true;
    }
    return 0;
}
RResult RCalDAVCalendar::GetCtag(CStringA* out) { Guard g(mutex_); return GetText(ctag_, out); }

RResult RCalDAVCalendar::SetSyncToken(const char* text) {
    Guard g(mutex_);
    if (syncToken_ != CStringA(text)) {
        syncToken_ = text;
        changed_ = true;
    }
    return 0;
}
RResult RCalDAVCalendar::GetSyncToken(CStringA* out) { Guard g(mutex_); return GetText(syncToken_, out); }

int RCalDAVCalendar::GetStatus() { Guard g(mutex_); return status_; }
RResult RCalDAVCalendar::SetStatus(int status) { Guard g(mutex_); status_ = status; return 0; }

void RCalDAVCalendar::ResetListedProperties() {
    Guard g(mutex_);
    owner_.Empty();
    resourceTypes_.Empty();
    privileges_.Empty();
    displayName_.Empty();
    order_ = -1;
    color_.Empty();
    supportedComponents_.Empty();
    sourceUrl_.Empty();
    status_ = 0;
}
bool RCalDAVCalendar::IsChanged() { Guard g(mutex_); return changed_; }
RResult RCalDAVCalendar::ClearChanged() { Guard g(mutex_); changed_ = false; return 0; }
