// The small text readers of the transport: status lines, redirect-body scanners and URL cracking.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <string>

#include "dav/http/BodyScanners.h"
#include "dav/http/CrackUrl.h"
#include "dav/http/StatusLine.h"

TEST(ParseStatusLine, ReadsTheNumberAndStaysInBounds) {
    EXPECT_EQ(ParseStatusLine("HTTP/1.1 200 OK"), 200);
    EXPECT_EQ(ParseStatusLine("  HTTP/1.1 404 Not Found  "), 404);
    EXPECT_EQ(ParseStatusLine("HTTP/1.1 207"), 207);
    EXPECT_EQ(ParseStatusLine(""), 0);
    EXPECT_EQ(ParseStatusLine("HTTP/1.1"), 0);
    EXPECT_EQ(ParseStatusLine("HTTP/1.1 OK"), 0);
    EXPECT_EQ(ParseStatusLine("HTTP/1.1 99999999999 x"), 0);
    EXPECT_EQ(ParseStatusLine(std::string(100000, 'A') + " 200 OK"), 0);
    const std::string_view cut("HTTP/1.1 20", 10);  // no bytes beyond the view are read
    EXPECT_EQ(ParseStatusLine(cut), 2);
}

TEST(BodyScanners, FindAbsoluteUrlTakesSchemeHostAndPortInLowerCase) {
    CStringA out;
    EXPECT_EQ(FindAbsoluteUrl("<a HREF=\"HTTPS://Cal.Example.COM:8443/dav/x\">", out), 9);
    EXPECT_EQ(out, "https://cal.example.com:8443/");
    EXPECT_EQ(FindAbsoluteUrl("moved to http://example.org", out), 9);
    EXPECT_EQ(out, "http://example.org");
    EXPECT_EQ(FindAbsoluteUrl("http://.com:1234/", out), -1);  // top-level name too close to the scheme
    EXPECT_EQ(FindAbsoluteUrl("no url here", out), -1);
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_EQ(FindAbsoluteUrl("http://" + std::string(2000, 'h') + ".com/", out), 0);
    EXPECT_EQ(out.GetLength(), kScanOutMax);
}

TEST(BodyScanners, FindHrefAndMovedTo) {
    CStringA out;
    const std::string body = "<p>The document has moved <a href=\"/Cal/Home/User/\">here</a></p>";
    EXPECT_EQ(FindHrefInBody(body, out), static_cast<int>(body.find("/Cal")));
    EXPECT_EQ(out, "/Cal/Home/User/");
    EXPECT_EQ(FindHrefInBody("<a href=\"/x/y/z/w\" >", out), 9);
    EXPECT_EQ(out, "/x/y/z/w");
    EXPECT_EQ(FindHrefInBody("<a href=\"/x", out), -1);
    EXPECT_EQ(FindMovedToUrl("<p>Document Moved to /New/Path/A.ics.</p>", out), 21);
    EXPECT_EQ(out, "/new/path/a.ics");
    EXPECT_EQ(FindMovedToUrl("document moved to nowhere", out), -1);
}

TEST(CrackUrl, FillsTheFieldsAndRefusesToCut) {
    CStringA path, host, scheme;
    int port = 0;
    EXPECT_EQ(CrackUrl("https://dav.example.com/cal/", &path, &host, &scheme, &port), 0);
    EXPECT_EQ(host, "dav.example.com");
    EXPECT_EQ(path, "/cal/");
    EXPECT_EQ(scheme, "https");
    EXPECT_EQ(port, 443);
    CrackUrl("http://127.0.0.1:5232", &path, &host, nullptr, &port);
    EXPECT_EQ(port, 5232);
    EXPECT_EQ(path, "/");
    CrackUrl(("http://" + std::string(64, 'h') + "/p").c_str(), &path, &host, nullptr, nullptr);
    EXPECT_TRUE(host.IsEmpty());
    CrackUrl("/relative/path", &path, &host, &scheme, &port);
    EXPECT_TRUE(host.IsEmpty());
    EXPECT_TRUE(path.IsEmpty());
    EXPECT_EQ(port, 0);
}
