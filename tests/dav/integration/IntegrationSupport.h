#pragma once
// Shared pieces of the integration tests and the server benchmark: iCalendar bodies, collection
// creation, the Radicale config, the debug-log request count, and the ownership helper.
#include "foundation/ResultCodes.h"

#include <string>

#include "dav/caldav/RCalDAVAccount.h"
#include "dav/http/RWebDAVConnection.h"
#include "foundation/memory/RRef.h"

namespace orvane::test {

// One VEVENT in a VCALENDAR, CR LF line ends.
std::string EventText(const std::string& uid, const std::string& summary);

// Creates a calendar collection with an extended MKCOL; returns the HTTP status.
RResult MakeCalendar(int port, const char* user, const char* password, const std::string& path, const std::string& displayName);

// Writes `folder`/config for Radicale from the fixture: its store in `folder`/collections and
// its users file at `folder`/users. Returns the config's path.
std::string WriteRadicaleConfig(const std::string& folder);

// Lays out a Radicale store in `folder` for the benchmarks: user alice (password "secret") with one
// calendar "bench" of `items` events (UIDs bench-0, bench-1, ...). Returns the config's path.
std::string SeedRadicaleBenchStore(const std::string& folder, int items);

// Switches the request log on into a fresh file for its lifetime and counts request lines.
class RequestLog {
public:
    explicit RequestLog(const std::string& path);
    ~RequestLog();
    int Count(const std::string& verb) const;

private:
    std::string path_;
};

}  // namespace orvane::test
