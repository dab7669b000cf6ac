#pragma once
// Multistatus answers turned into flat record lists. Parse results: 0; R_E_BAD_FORMAT for a
// body that holds something but is not well-formed XML, blanks alone included (an HTML login
// page must not read as "no resources"); null or empty text yields no records and 0. Records
// are kept in arrays so that reading a large listing by position stays linear.
// Threads: one thread at a time (the calendar that owns a response holds its lock around it).
#include "foundation/ResultCodes.h"

#include <utility>
#include <vector>

#include "dav/xml/XmlRecords.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"

class RXmlResponse : public RRefCounted {
public:
    virtual RResult Parse(const char* xml) = 0;
    virtual int GetCount() = 0;
};

// Named properties of a collection, wherever they stand in the document.
class RXmlPropertiesResponse : public RXmlResponse {
public:
    // Replaces the records (unless the body is not well-formed, which keeps them).
    RResult Parse(const char* xml) override;
    int GetCount() override;
    virtual RResult GetAt(int index, CStringA* name, CStringA* nameSpace, int* status, CStringA* value);
    virtual RResult Add(const char* name, const char* nameSpace, int status, const char* value);
    // The first record whose name (and namespace, when given) match without regard to case;
    // 0, or STG_E_PATHNOTFOUND.
    virtual RResult Find(const char* name, const char* nameSpace, int* status, CStringA* value);

private:
    std::vector<PropertyRecord> records_;
};

// One record per resource: href, schedule tag, entity tag, content type and status.
class RXmlEtagResponse : public RXmlResponse {
public:
    RResult Parse(const char* xml) override;
    int GetCount() override;
    virtual RResult GetAt(int index, CStringA* href, CStringA* scheduleTag, CStringA* etag, CStringA* contentType, int* status);
    // Direct read access for callers that walk the whole listing.
    const std::vector<EtagRecord>& Records() const { return records_; }
    // Hands the records over, leaving none: a caller that keeps them does not hold two copies.
    std::vector<EtagRecord> TakeRecords() { return std::exchange(records_, {}); }
    // The hrefs of the responses that carried neither tag (the collection itself, subcollections).
    const std::vector<CStringA>& UntaggedHrefs() const { return untagged_; }

private:
    std::vector<EtagRecord> records_;
    std::vector<CStringA> untagged_;
};

// One record per resource with its calendar data; each Parse appends, so one object collects
// the records of several batches.
class RXmlMultigetResponse : public RXmlResponse {
public:
    RResult Parse(const char* xml) override;
    int GetCount() override;
    // Every output may be null.
    virtual RResult GetAt(int index, CStringA* href, CStringA* scheduleTag, CStringA* etag, CStringA* data);
    const std::vector<ResponseRecord>& Records() const { return records_; }
    // Hands the records over, leaving none: the bodies are then freed with the caller's copy.
    std::vector<ResponseRecord> TakeRecords() { return std::exchange(records_, {}); }

private:
    std::vector<ResponseRecord> records_;
};
