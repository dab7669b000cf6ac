#pragma once
// The calendar-multiget request body, built from a queue of hrefs in batches of at most 50.
// Threads: one thread at a time (its calendar's lock guards it).
#include "foundation/ResultCodes.h"

#include "foundation/memory/RList.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"

class RXmlRequest : public RRefCounted {
public:
    virtual RResult Clear() = 0;
    virtual int GetCount() = 0;
};

inline constexpr int kMultigetBatchSize = 50;

class RXmlMultigetRequest : public RXmlRequest {
public:
    ~RXmlMultigetRequest() override;

    // Removes every queued href; returns 0.
    RResult Clear() override;
    int GetCount() override;
    // Queues {href, not sent}; 0 or R_E_OUT_OF_MEMORY.
    virtual RResult AddHref(const char* href);
    // Builds one report body from the first (at most 50) hrefs and marks them sent. `kind`
    // "caldav" asks for a calendar-multiget, anything else for an addressbook-multiget. Hrefs are
    // escaped for XML text. Returns 0.
    virtual RResult BuildBody(CStringA& body, const char* kind);
    // Drops every href marked sent; the others keep their order.
    virtual RResult RemoveSent();

private:
    struct Entry {
        CStringA href;
        bool sent = false;
    };
    RList entries_;
};

// The text with "&", "<" and ">" written as character references.
CStringA EscapeXmlText(const char* text);
