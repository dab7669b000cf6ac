// Header-block splitting, path encoding, URL cracking and the error-number mapping.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include "platform/http/HeaderBlock.h"
#include "platform/http/InternetErrors.h"
#include "platform/http/UrlPath.h"

using namespace platform::http;

TEST(HeaderBlock, SplitsOnEveryLineEndAndReplacesSameName) {
    const auto lines = SplitHeaderBlock("Depth: 1\rContent-Type: text/xml\nBrief: T\r\nX: 1\r\n\r\ndepth: 0");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "depth: 0");  // the later line of the same name replaces the first in place
    EXPECT_EQ(lines[1], "Content-Type: text/xml");
    EXPECT_EQ(lines[2], "Brief: T");
    EXPECT_EQ(lines[3], "X: 1");
    EXPECT_TRUE(SplitHeaderBlock("").empty());
}

TEST(HeaderBlock, UnsafeValuesAreRecognised) {
    EXPECT_TRUE(IsSafeHeaderValue("\"abc-123\""));
    EXPECT_FALSE(IsSafeHeaderValue("a\rb"));
    EXPECT_FALSE(IsSafeHeaderValue("a\nX-Injected: 1"));
    EXPECT_FALSE(IsSafeHeaderValue(std::string_view("a\0b", 3)));
}

TEST(UrlPath, EncodesUnsafeBytesAndKeepsEscapes) {
    EXPECT_EQ(EncodeUrlPath("/cal/a b.ics"), "/cal/a%20b.ics");
    EXPECT_EQ(EncodeUrlPath("/cal/a%20b.ics"), "/cal/a%20b.ics");
    EXPECT_EQ(EncodeUrlPath("/100%/x"), "/100%25/x");
    EXPECT_EQ(EncodeUrlPath("/a?b#c\r\n"), "/a%3Fb%23c%0D%0A");
    EXPECT_EQ(EncodeUrlPath("/\xC3\xA9t\xC3\xA9/"), "/%C3%A9t%C3%A9/");
    EXPECT_EQ(EncodeUrlPath("/user@example.com/cal-1_x~y/"), "/user@example.com/cal-1_x~y/");
}

TEST(UrlPath, CracksUrlsWithDefaultPorts) {
    UrlParts parts;
    ASSERT_EQ(CrackUrl("https://Cal.Example.com/dav/principals/?x=1", parts), 0u);
    EXPECT_EQ(parts.scheme, "https");
    EXPECT_EQ(parts.host, "Cal.Example.com");
    EXPECT_EQ(parts.port, 443);
    EXPECT_EQ(parts.path, "/dav/principals/");
    EXPECT_EQ(parts.extra, "?x=1");
    ASSERT_EQ(CrackUrl("http://127.0.0.1:5232", parts), 0u);
    EXPECT_EQ(parts.port, 5232);
    EXPECT_EQ(parts.path, "/");
    ASSERT_EQ(CrackUrl("webcal://feeds.example.org/a.ics", parts), 0u);
    EXPECT_EQ(parts.scheme, "webcal");
    EXPECT_EQ(parts.host, "feeds.example.org");
    EXPECT_EQ(CrackUrl("/just/a/path", parts), ERROR_INTERNET_INVALID_URL);
}

TEST(UrlPath, AUrlWithoutAPortMeansTheSchemesDefaultNeverPortZero) {
    UrlParts parts;
    const std::pair<const char*, int> cases[] = {
        {"webcal://feeds.example.org/a.ics", 80}, {"webcals://feeds.example.org/a.ics", 443},
        {"WEBCAL://feeds.example.org", 80},       {"http://example.com", 80},
        {"https://example.com/x", 443},           {"http://example.com:0/x", 80},
        {"webcals://example.com:8443/x", 8443},
    };
    for (const auto& [url, port] : cases) {
        ASSERT_EQ(CrackUrl(url, parts), 0u) << url;
        EXPECT_EQ(parts.port, port) << url;
    }
    EXPECT_TRUE(IsSecureScheme("webcals"));
    EXPECT_FALSE(IsSecureScheme("webcal"));
    EXPECT_EQ(CrackUrl("", parts), ERROR_INTERNET_INVALID_URL);
}

TEST(CurlErrors, MapToTheNumbersCallersTest) {
    EXPECT_EQ(MapCurlError(CURLE_OK), 0u);
    EXPECT_EQ(MapCurlError(CURLE_COULDNT_RESOLVE_HOST), 12007u);
    EXPECT_EQ(MapCurlError(CURLE_COULDNT_CONNECT), 12029u);
    EXPECT_EQ(MapCurlError(CURLE_OPERATION_TIMEDOUT), 12002u);
    EXPECT_EQ(MapCurlError(CURLE_SSL_CONNECT_ERROR), 12157u);
    EXPECT_EQ(MapCurlError(CURLE_PEER_FAILED_VERIFICATION), 12045u);
    EXPECT_EQ(MapCurlError(CURLE_RECV_ERROR), 12030u);
    EXPECT_EQ(MapCurlError(CURLE_PARTIAL_FILE), 12030u);
    EXPECT_EQ(MapCurlError(CURLE_GOT_NOTHING), 12152u);
    EXPECT_EQ(MapCurlError(CURLE_URL_MALFORMAT), 12005u);
    EXPECT_EQ(MapCurlError(CURLE_ABORTED_BY_CALLBACK), 1223u);
    EXPECT_EQ(MapCurlError(CURLE_OUT_OF_MEMORY), 12004u);
    // Every failure must compare as 400 or more, like the platform's numbers.
    for (int code = 1; code < CURL_LAST; ++code) EXPECT_GE(MapCurlError(code), 400u) << code;
}
