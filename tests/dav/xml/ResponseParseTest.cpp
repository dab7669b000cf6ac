// The multistatus walkers on hand-made answers: status rules, record conditions, namespaces,
// appending, and bodies that are not XML.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <string>

#include "dav/xml/DavNamespaces.h"
#include "dav/xml/FindDomElement.h"
#include "dav/xml/RXmlResponse.h"
#include "foundation/memory/RRef.h"


namespace {

std::string Response(const std::string& href, const std::string& propstats) {
    return "<d:response><d:href>" + href + "</d:href>" + propstats + "</d:response>";
}
std::string Propstat(const std::string& props, int status) {
    return "<d:propstat><d:prop>" + props + "</d:prop><d:status>HTTP/1.1 " + std::to_string(status) + " X</d:status></d:propstat>";
}
std::string Multistatus(const std::string& inner) {
    return "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\" "
           "xmlns:cs=\"http://calendarserver.org/ns/\" xmlns:a=\"http://apple.com/ns/ical/\">" +
           inner + "</d:multistatus>";
}

}  // namespace

TEST(EtagResponse, TheFirstSuccessfulPropstatDecides) {
    auto r = MakeRef<RXmlEtagResponse>();
    const std::string body = Multistatus(
        Response("/c/a.ics", Propstat("<d:getetag/>", 404) + Propstat("<d:getetag>\"1\"</d:getetag><d:getcontenttype>text/calendar</d:getcontenttype>", 200)) +
        Response("/c/b.ics", Propstat("<d:getetag>\"2\"</d:getetag>", 200) + Propstat("<c:schedule-tag>\"s\"</c:schedule-tag>", 404)) +
        Response("/c/", Propstat("<d:resourcetype><d:collection/></d:resourcetype>", 200)) +
        Response("/c/d.ics", Propstat("<c:schedule-tag>\"s4\"</c:schedule-tag>", 200)));
    ASSERT_EQ(r->Parse(body.c_str()), 0);
    ASSERT_EQ(r->GetCount(), 3);  // the collection itself has no tags and no record
    CStringA href, stag, etag, type;
    int status = 0;
    ASSERT_EQ(r->GetAt(0, &href, &stag, &etag, &type, &status), 0);
    EXPECT_EQ(href, "/c/a.ics");
    EXPECT_EQ(etag, "\"1\"");
    EXPECT_EQ(type, "text/calendar");
    EXPECT_EQ(status, 200);
    r->GetAt(1, &href, &stag, &etag, &type, &status);
    EXPECT_EQ(etag, "\"2\"");
    EXPECT_TRUE(stag.IsEmpty());
    EXPECT_EQ(status, 200);
    r->GetAt(2, &href, &stag, &etag, &type, &status);
    EXPECT_EQ(stag, "\"s4\"");
    EXPECT_EQ(r->GetAt(3, &href, &stag, &etag, &type, &status), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(r->GetAt(0, nullptr, &stag, &etag, &type, &status), R_E_INVALID_ARGUMENT);
}

TEST(EtagResponse, PrettyPrintedAnswersGiveTrimmedTexts) {
    auto r = MakeRef<RXmlEtagResponse>();
    const char body[] =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<multistatus xmlns=\"DAV:\">\n  <response>\n"
        "    <href>\n      /c/a.ics\n    </href>\n    <propstat>\n      <prop>\n        <getetag>\"e\"</getetag>\n"
        "      </prop>\n      <status>HTTP/1.1 200 OK</status>\n    </propstat>\n  </response>\n</multistatus>\n";
    ASSERT_EQ(r->Parse(body), 0);
    ASSERT_EQ(r->GetCount(), 1);
    EXPECT_EQ(r->Records()[0].href, "/c/a.ics");
    EXPECT_EQ(r->Records()[0].status, 200);
}

TEST(EtagResponse, ABodyThatIsNotXmlIsAnErrorAndKeepsTheRecords) {
    auto r = MakeRef<RXmlEtagResponse>();
    ASSERT_EQ(r->Parse(Multistatus(Response("/c/a.ics", Propstat("<d:getetag>1</d:getetag>", 200))).c_str()), 0);
    EXPECT_EQ(r->Parse("<html><body>Sign in<br></body></html>"), R_E_BAD_FORMAT);
    EXPECT_EQ(r->Parse("Service Unavailable"), R_E_BAD_FORMAT);
    EXPECT_EQ(r->Parse(" \r\n"), R_E_BAD_FORMAT);  // blanks are no listing either
    EXPECT_EQ(r->GetCount(), 1);
    EXPECT_EQ(r->Parse(nullptr), 0);
}

TEST(MultigetResponse, AppendsTheRecordsOfEveryBatch) {
    auto r = MakeRef<RXmlMultigetResponse>();
    const std::string first = Multistatus(
        Response("/c/1.ics", Propstat("<d:getetag>\"1\"</d:getetag><c:calendar-data>BEGIN:VCALENDAR&#13;\nEND:VCALENDAR</c:calendar-data>", 200)) +
        Response("/c/gone.ics", "<d:status>HTTP/1.1 404 Not Found</d:status>"));
    const std::string second = Multistatus(Response("/c/2.ics", Propstat("<d:getetag>\"2\"</d:getetag><c:calendar-data><![CDATA[BEGIN:VCALENDAR]]></c:calendar-data>", 200)));
    ASSERT_EQ(r->Parse(first.c_str()), 0);
    ASSERT_EQ(r->Parse(second.c_str()), 0);
    ASSERT_EQ(r->GetCount(), 2);
    CStringA href, data;
    r->GetAt(0, &href, nullptr, nullptr, &data);
    EXPECT_EQ(href, "/c/1.ics");
    EXPECT_EQ(data, "BEGIN:VCALENDAR\r\nEND:VCALENDAR");
    r->GetAt(1, &href, nullptr, nullptr, &data);
    EXPECT_EQ(data, "BEGIN:VCALENDAR");
    EXPECT_EQ(r->Parse("<unclosed>"), R_E_BAD_FORMAT);
    EXPECT_EQ(r->GetCount(), 2);
}

TEST(PropertiesResponse, CollectsNamedPropertiesWithTheInnermostStatus) {
    auto r = MakeRef<RXmlPropertiesResponse>();
    const std::string body = Multistatus(Response(
        "/c/", Propstat("<cs:getctag>ct-1</cs:getctag><d:sync-token>st-1</d:sync-token><d:displayname>Work</d:displayname>"
                        "<a:calendar-color>#FF0000FF</a:calendar-color><d:owner><d:href>/p/u/</d:href></d:owner>"
                        "<d:getctag>dav-ctag</d:getctag><d:current-user-privilege-set><d:privilege><d:read/></d:privilege>"
                        "</d:current-user-privilege-set>",
                        200)));
    ASSERT_EQ(r->Parse(body.c_str()), 0);
    int status = -1;
    CStringA value;
    ASSERT_EQ(r->Find("GETCTAG", nullptr, &status, &value), 0);
    EXPECT_EQ(value, "ct-1");  // the first stored, whatever its namespace
    EXPECT_EQ(status, 0);      // the propstat's status follows its prop
    ASSERT_EQ(r->Find("getctag", "DAV:", &status, &value), 0);
    EXPECT_EQ(value, "dav-ctag");
    ASSERT_EQ(r->Find("owner", nullptr, &status, &value), 0);
    EXPECT_EQ(value, "/p/u/");
    EXPECT_EQ(r->Find("privilege", nullptr, &status, &value), STG_E_PATHNOTFOUND);  // no text, no record
    EXPECT_EQ(r->Find("calendar-order", nullptr, &status, &value), STG_E_PATHNOTFOUND);
    ASSERT_EQ(r->Find("href", "dav:", &status, &value), 0);
    EXPECT_EQ(value, "/c/");
    CStringA name, ns;
    ASSERT_EQ(r->GetAt(0, &name, &ns, &status, &value), 0);
    EXPECT_EQ(name, "href");
    EXPECT_EQ(ns, "DAV:");
    EXPECT_EQ(r->Parse("<d:multistatus xmlns:d=\"DAV:\">"), R_E_BAD_FORMAT);
    EXPECT_GT(r->GetCount(), 0);
}

TEST(FindDomElement, ReportsTheLastStatusBeforeTheElement) {
    const std::string body = Multistatus(
        Response("/p/", "<d:status>HTTP/1.1 404 x</d:status>" +
                            Propstat("<d:current-user-principal><d:href>/p/u/</d:href></d:current-user-principal>", 200)));
    auto doc = platform::xml::XmlDocument::Parse(body.data(), body.size());
    ASSERT_TRUE(doc);
    CStringA markup, text;
    int status = -1, holder = 0;
    bool found = false;
    ASSERT_EQ(FindDomElement(doc->Root(), "current-user-principal", kDavNamespace, &markup, &text, &status, holder, found), 0);
    EXPECT_TRUE(found);
    EXPECT_EQ(status, 404);
    EXPECT_EQ(text, "/p/u/");
    EXPECT_EQ(markup, "<d:current-user-principal><d:href>/p/u/</d:href></d:current-user-principal>");
    found = false;
    holder = 0;
    FindDomElement(doc->Root(), "principal-URL", kDavNamespace, nullptr, nullptr, nullptr, holder, found);
    EXPECT_FALSE(found);
}

TEST(EtagResponse, AWellFormedDocumentThatIsNoMultistatusIsAnError) {
    RXmlEtagResponse etags;
    ASSERT_EQ(etags.Parse("<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/c/a.ics</d:href><d:propstat><d:prop>"
                          "<d:getetag>\"1\"</d:getetag></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>"
                          "</d:response></d:multistatus>"),
              0);
    // A login page or blanks read as "no resources" would empty the calendar.
    EXPECT_EQ(etags.Parse("<html><body><p>Please log in</p></body></html>"), R_E_BAD_FORMAT);
    EXPECT_EQ(etags.Parse("  \r\n"), R_E_BAD_FORMAT);
    EXPECT_EQ(etags.GetCount(), 1);
    RXmlMultigetResponse multiget;
    EXPECT_EQ(multiget.Parse("<error xmlns=\"DAV:\"/>"), R_E_BAD_FORMAT);
    EXPECT_EQ(multiget.GetCount(), 0);
}
