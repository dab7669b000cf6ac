#pragma once
// Shared pieces of the integration tests: iCalendar bodies, collection creation, the debug-log
// request count and small ownership helpers.
#include "foundation/ResultCodes.h"  // before any standard header (R_OK)

#include <string>

#include "dav/caldav/RCalDAVAccount.h"
#include "dav/http/RWebDAVConnection.h"

namespace orvane::test {

// One VEVENT in a VCALENDAR, CR LF line ends.
std::string EventText(const std::string& uid, const std::string& summary);

// Creates a calendar collection with an extended MKCOL; returns the HTTP status.
RResult MakeCalendar(int port, const char* user, const char* password, const std::string& path, const std::string& displayName);

// Switches the request log on into a fresh file for its lifetime and counts request lines.
class RequestLog {
public:
    explicit RequestLog(const std::string& path);
    ~RequestLog();
    int Count(const std::string& verb) const;

private:
    std::string path_;
};

template <typename T>
struct Owned {
    T* p = new T();
    Owned() = default;
    ~Owned() { p->Release(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* operator->() const { return p; }
};

}  // namespace orvane::test
