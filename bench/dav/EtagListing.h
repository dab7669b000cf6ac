#pragma once
// The entity-tag listing a server sends for a large calendar: one response per resource, with the
// found entity tag and content type and a property the server does not have.
#include <string>

namespace orvane::bench {

inline std::string EtagListing(int count) {
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<multistatus xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        body += "<response><href>/alice/calendar/item-" + n + ".ics</href><propstat><prop><getetag>\"etag-" + n +
                "-0123456789abcdef\"</getetag><getcontenttype>text/calendar; charset=utf-8</getcontenttype></prop>"
                "<status>HTTP/1.1 200 OK</status></propstat><propstat><prop><C:schedule-tag /></prop>"
                "<status>HTTP/1.1 404 Not Found</status></propstat></response>";
    }
    return body + "</multistatus>";
}

}  // namespace orvane::bench
