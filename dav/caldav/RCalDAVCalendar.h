#pragma once
// The protocol side of one calendar collection: its connection (collection path = the
// calendar's href), the properties that the home's listing found, and every request about the
// collection or its resources.
//
// Each operation holds the calendar's recursive lock; a caller that walks a listing handed out
// by GetEtagResponse or GetMultigetResponse holds Lock() across the fetch and the walk, so that
// another thread cannot replace the listing underneath it.
// Threads: safe to share (the uploads of the user-interface thread and a refresh worker).
#include "foundation/ResultCodes.h"


#include "dav/http/RWebDAVConnection.h"
#include "dav/xml/EtagListingStream.h"
#include "dav/xml/RXmlRequest.h"
#include "dav/xml/RXmlResponse.h"
#include "foundation/memory/RefCounted.h"
#include "platform/threads/Mutex.h"
#include "platform/string/CString.h"

class RCalDAVCalendar : public RRefCounted {
public:
    RCalDAVCalendar();
    ~RCalDAVCalendar() override;

    virtual RResult Open(const char* host, int port, const char* path, bool secure, const char* user, const char* password);
    virtual RResult SetUserAgent(const char* text);
    // The connection's user agent; empty without a connection.
    virtual CStringA GetUserAgent();
    virtual RResult SetCredentials(const char* user, const char* password);
    virtual RResult SetBearerToken(const char* token);
    // The connection with one reference added for the caller (null without one).
    virtual RResult GetConnection(RWebDAVConnection** out);
    // The collection path: the calendar's identity.
    virtual RResult GetHref(CStringA* out);

    virtual RResult FetchCtag();
    virtual RResult ParseCtagResponse(const char* body);
    virtual RResult FetchEtags();
    virtual RResult ParseEtagResponse(const char* body);
    // The listing of the last FetchEtags (no reference added; valid until the next one).
    virtual RResult GetEtagResponse(RXmlEtagResponse** out);
    // The listing that FetchEtags asks for, handed to `visitor` as it arrives instead of being
    // kept: 0, or what FetchEtags would give (the request's failure, R_E_BAD_FORMAT, or the
    // success status of an answer without a body). After a failure, what the visitor was given
    // is not the listing. GetEtagResponse has no listing afterwards.
    virtual RResult ListEtags(EtagListingVisitor& visitor);
    virtual int GetPendingHrefCount();
    virtual RResult AddMultigetHref(const char* href);
    virtual RResult FetchMultiget();
    virtual RResult ParseMultigetResponse(const char* body);
    // The records of the last FetchMultiget (no reference added; valid until the next one).
    virtual RResult GetMultigetResponse(RXmlMultigetResponse** out);

    // Uploads a resource under exactly one precondition: the schedule tag, else the entity tag,
    // else "create only". 0 on success, else the HTTP status or error. The resource operations
    // refuse a null or empty href (R_E_INVALID_ARGUMENT): the request would name the collection.
    // On success `newEtag` and `newScheduleTag`, when given, get the ETag and Schedule-Tag headers
    // of the answer (empty when it had none).
    virtual RResult PutResource(const char* body, const char* href, const char* scheduleTag, const char* etag,
                                CStringA* newEtag = nullptr, CStringA* newScheduleTag = nullptr);
    // Moves a resource, overwriting; a destination path is sent as an absolute URL on this server.
    virtual RResult MoveResource(const char* href, const char* destination);
    virtual RResult DeleteResource(const char* href);

    virtual RResult SetOwner(const char* text);
    virtual RResult GetOwner(CStringA* out);
    virtual RResult SetDisplayName(const char* text);
    virtual RResult GetDisplayName(CStringA* out);
    virtual RResult SetColor(const char* text);
    virtual RResult GetColor(CStringA* out);
    virtual RResult SetOrder(int order);
    virtual RResult GetOrder(int* out);
    virtual RResult SetResourceTypes(const char* text);
    virtual RResult AddResourceType(const char* text);
    virtual RResult GetResourceTypes(CStringA* out);
    virtual RResult AddSupportedComponent(const char* text);
    virtual RResult GetSupportedComponents(CStringA* out);
    virtual RResult AddPrivilege(const char* text);
    virtual RResult GetPrivileges(CStringA* out);
    virtual RResult SetSourceUrl(const char* text);
    virtual RResult GetSourceUrl(CStringA* out);
    // Storing a different tag or token sets the changed flag.
    virtual RResult SetCtag(const char* text);
    virtual RResult GetCtag(CStringA* out);
    virtual RResult SetSyncToken(const char* text);
    virtual RResult GetSyncToken(CStringA* out);
    virtual int GetStatus();
    virtual RResult SetStatus(int status);
    virtual bool IsChanged();
    virtual RResult ClearChanged();
    // Forgets the properties a listing gives (owner, name, colour, order, resource types,
    // components, privileges, source, status) so that the next listing's values replace them;
    // the ctag and sync token stay, so their changed flag keeps its meaning.
    void ResetListedProperties();

    // Holds the calendar's lock for the caller's scope.
    std::unique_lock<platform::RecursiveMutex> Lock() { return std::unique_lock<platform::RecursiveMutex>(mutex_); }

private:
    RResult GetText(const CStringA& value, CStringA* out);
    static void AppendListed(CStringA& value, const char* text);

    platform::RecursiveMutex mutex_;
    RWebDAVConnection* connection_ ORVANE_GUARDED_BY(mutex_) = nullptr;
    CStringA owner_ ORVANE_GUARDED_BY(mutex_);
    CStringA resourceTypes_ ORVANE_GUARDED_BY(mutex_);
    CStringA privileges_ ORVANE_GUARDED_BY(mutex_);
    CStringA displayName_ ORVANE_GUARDED_BY(mutex_);
    int order_ ORVANE_GUARDED_BY(mutex_) = -1;
    CStringA color_ ORVANE_GUARDED_BY(mutex_);
    CStringA supportedComponents_ ORVANE_GUARDED_BY(mutex_);
    CStringA sourceUrl_ ORVANE_GUARDED_BY(mutex_);
    CStringA ctag_ ORVANE_GUARDED_BY(mutex_);
    CStringA syncToken_ ORVANE_GUARDED_BY(mutex_);
    int status_ ORVANE_GUARDED_BY(mutex_) = 0;
    bool changed_ ORVANE_GUARDED_BY(mutex_) = false;
    RXmlEtagResponse* etagResponse_ ORVANE_GUARDED_BY(mutex_) = nullptr;
    RXmlMultigetRequest* multigetRequest_ ORVANE_GUARDED_BY(mutex_) = nullptr;
    RXmlMultigetResponse* multigetResponse_ ORVANE_GUARDED_BY(mutex_) = nullptr;
};

// The result of a PUT answered 207: the first DAV:status number of the body when it is a
// failure, else 409.
RResult StatusOfMultistatusPut(const char* body);
