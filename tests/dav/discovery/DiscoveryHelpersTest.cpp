// Mail-address syntax, provider path rules, server URLs and calendar local names.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include "dav/discovery/Discovery.h"

TEST(IsValidMailAddress, AcceptsOrdinaryAndQuotedLocalParts) {
    EXPECT_TRUE(IsValidMailAddress("user@example.com"));
    EXPECT_TRUE(IsValidMailAddress("first.last+tag@mail.example.org"));
    EXPECT_TRUE(IsValidMailAddress("\"john smith\"@example.com"));
    EXPECT_TRUE(IsValidMailAddress("a.\"b\\\"c\"@example.com"));
    EXPECT_TRUE(IsValidMailAddress("\"a\\ b\"@example.com"));
}

TEST(IsValidMailAddress, RejectsBrokenAddresses) {
    for (const char* bad : {"", "user", "@example.com", "user.@example.com", "user@example", "user@.example.com",
                            "user@example..com", "us er@example.com", "user@exa mple.com", "\"open@example.com",
                            "\"q\"x@example.com", "u(x)@example.com", "user@exa[mple.com", "us\xC3\xA9r@example.com",
                            "a\"b\"@example.com", "user@"}) {
        EXPECT_FALSE(IsValidMailAddress(bad)) << bad;
    }
    EXPECT_FALSE(IsValidMailAddress(nullptr));
}

TEST(BuildPrincipalPath, FollowsTheProviderRules) {
    EXPECT_EQ(BuildPrincipalPath("caldav.icloud.com", "Jane@icloud.com"), "/principals/users/Jane%40icloud.com/");
    EXPECT_EQ(BuildPrincipalPath("caldav.calendar.YAHOO.com", "Jane.Doe@yahoo.com"), "/principals/users/jane.doe/");
    EXPECT_EQ(BuildPrincipalPath("www.google.com", "jane@gmail.com"), "/calendar/dav/jane%40gmail.com/user/");
    EXPECT_EQ(BuildPrincipalPath("apidata.googleusercontent.com", "jane@gmail.com"), "/caldav/v2/jane%40gmail.com/user/");
    EXPECT_EQ(BuildPrincipalPath("p01-caldav.me.com", "Jane@me.com"), "/principals/users/Jane/");
    EXPECT_EQ(BuildPrincipalPath("127.0.0.1", "alice"), "/principals/users/alice/");
    EXPECT_EQ(BuildPrincipalPath("127.0.0.1", "alice/"), "/principals/users/alice/");
    EXPECT_EQ(BuildPrincipalPath("127.0.0.1", ""), "/principals/users/");
    EXPECT_EQ(BuildPrincipalPath("www.google.com", nullptr), "/calendar/dav/");
}

TEST(CrackServerUrl, SplitsHttpUrlsOnly) {
    CStringA host, path;
    int port = 0;
    bool secure = false;
    ASSERT_EQ(CrackServerUrl("https://dav.example.com/principals/u/", &host, &path, &port, &secure), 0);
    EXPECT_EQ(host, "dav.example.com");
    EXPECT_EQ(path, "/principals/u/");
    EXPECT_EQ(port, 443);
    EXPECT_TRUE(secure);
    ASSERT_EQ(CrackServerUrl("http://127.0.0.1:5232", &host, &path, &port, &secure), 0);
    EXPECT_EQ(path, "/");
    EXPECT_EQ(port, 5232);
    EXPECT_FALSE(secure);
    EXPECT_EQ(CrackServerUrl("dav.example.com/x", &host, &path, &port, &secure), 12005);
    EXPECT_EQ(CrackServerUrl("ftp://dav.example.com/x", &host, &path, &port, &secure), 12005);
    EXPECT_EQ(CrackServerUrl(("http://" + std::string(70, 'h') + ".com/").c_str(), &host, &path, &port, &secure), 12005);
}

TEST(MakeResourceNameFromUrl, UsesTheLastSegmentOrAFreshGuid) {
    CStringA name;
    MakeResourceNameFromUrl(name, "/u/calendars/work/");
    EXPECT_EQ(name, "work");
    MakeResourceNameFromUrl(name, "/calendar/dav/jane%40gmail.com/events/");
    EXPECT_EQ(name.GetLength(), 36);
    EXPECT_EQ(name.Find('-'), 8);
    MakeResourceNameFromUrl(name, "/");
    EXPECT_EQ(name.GetLength(), 36);
}
