#pragma once
// The calendar-home collection of one principal: lists the collections under it with one
// Depth 1 PROPFIND and keeps one RCalDAVCalendar per collection href, in the order their hrefs
// first appeared. The list only grows; each listing's properties (from its first 200 propstat
// per calendar) replace the last listing's.
//
// Threads: safe to share; listing and lookups hold the home's recursive lock.
#include "foundation/ResultCodes.h"

#include <string_view>
#include <vector>

#include "dav/caldav/RCalDAVCalendar.h"
#include "dav/http/RWebDAVConnection.h"
#include "foundation/memory/RList.h"
#include "foundation/memory/RefCounted.h"
#include "platform/threads/Mutex.h"
#include "platform/xml/XmlDocument.h"

class RCalDAVCalendarHome : public RRefCounted {
public:
    RCalDAVCalendarHome();
    ~RCalDAVCalendarHome() override;

    virtual RResult Open(const char* host, int port, const char* homePath, bool secure, const char* user, const char* password);
    virtual RResult SetUserAgent(const char* text);
    virtual RResult GetConnection(RWebDAVConnection** out);
    virtual RResult SetCredentials(const char* user, const char* password);
    virtual RResult SetBearerToken(const char* token);
    virtual RResult LoadCalendars();
    // R_E_BAD_FORMAT for a body that is not well-formed XML; the list is left as it was.
    virtual RResult ParseCalendars(const char* body);
    virtual int GetCalendarCount();
    // Borrowed pointers (no reference added); null when out of range or not listed.
    virtual RCalDAVCalendar* GetAt(int index);
    virtual RCalDAVCalendar* FindByHref(const char* href);
    // The calendars that the last listing named, with a reference added for the caller (the
    // kept list only grows, so a collection removed on the server stays in it). False, with
    // `out` emptied, when no listing has been read yet or the last answer held no document.
    bool GetLastListing(std::vector<RCalDAVCalendar*>* out);

    RResult WalkMultistatus(const platform::xml::XmlNode& node);
    // Reads one DAV:response (walked in place, so inherited namespace declarations hold).
    RResult ParseResponseNode(const platform::xml::XmlNode& node, RCalDAVCalendar*& current, int* statusHolder,
                              const platform::xml::XmlNode& parent);
    RResult FindOrCreateCalendar(const char* href, RCalDAVCalendar*& current);

private:
    void ReleaseCalendars() ORVANE_REQUIRES(mutex_);
    // Adds the calendar to this listing; false when it is there already.
    bool NoteListed(RCalDAVCalendar* calendar) ORVANE_REQUIRES(mutex_);

    platform::RecursiveMutex mutex_;
    RWebDAVConnection* connection_ ORVANE_GUARDED_BY(mutex_) = nullptr;
    RList calendars_ ORVANE_GUARDED_BY(mutex_);
    std::vector<RCalDAVCalendar*> lastListing_ ORVANE_GUARDED_BY(mutex_);  // borrowed from calendars_
    bool listingRead_ ORVANE_GUARDED_BY(mutex_) = false;
};
