// How a subscription's URL turns into a request: scheme, port, path with query, file name and
// whether credentials may go along.
#include "sync/ROrvaneCalendar.h"

#include <gtest/gtest.h>

TEST(FeedRequest, WebcalIsPlainHttpOnItsDefaultPortAndWebcalsIsHttps) {
    FeedRequest plain = PlanFeedRequest("webcal://feeds.example.org/holidays.ics", "");
    ASSERT_EQ(plain.error, 0);
    EXPECT_FALSE(plain.secure);
    EXPECT_EQ(plain.port, 80);
    EXPECT_EQ(plain.host, "feeds.example.org");
    FeedRequest secure = PlanFeedRequest("webcals://feeds.example.org/holidays.ics", "");
    EXPECT_TRUE(secure.secure);
    EXPECT_EQ(secure.port, 443);
    EXPECT_EQ(PlanFeedRequest("https://feeds.example.org:8443/x.ics", "").port, 8443);
}

TEST(FeedRequest, ThePathAndQueryAreRequestedAsWrittenAndTheFileNameIsNeverEmpty) {
    FeedRequest ics = PlanFeedRequest("http://h.example/cal/Holidays.ICS?lang=de#top", "");
    EXPECT_EQ(ics.pathAndQuery, "/cal/Holidays.ICS?lang=de");
    EXPECT_EQ(ics.fileName, "Holidays.ICS");
    FeedRequest generated = PlanFeedRequest("http://h.example/export?id=42&fmt=ical", "");
    EXPECT_EQ(generated.pathAndQuery, "/export?id=42&fmt=ical");
    EXPECT_EQ(generated.fileName, "export.ics");
    FeedRequest bare = PlanFeedRequest("http://h.example", "");
    EXPECT_EQ(bare.pathAndQuery, "/");
    EXPECT_EQ(bare.fileName, "h.example.ics");
}

TEST(FeedRequest, CredentialsGoOnlyToTheAccountsOwnHostAndPort) {
    EXPECT_TRUE(PlanFeedRequest("https://dav.example.org/feeds/a.ics", "https://DAV.example.org/").sendCredentials);
    EXPECT_FALSE(PlanFeedRequest("https://dav.example.org:8443/a.ics", "https://dav.example.org/").sendCredentials);
    EXPECT_FALSE(PlanFeedRequest("https://evil.example/a.ics", "https://dav.example.org/").sendCredentials);
    EXPECT_FALSE(PlanFeedRequest("https://dav.example.org/a.ics", "").sendCredentials);
}

TEST(FeedRequest, WhatIsNoHttpFeedIsRefused) {
    EXPECT_NE(PlanFeedRequest("ftp://h.example/a.ics", "").error, 0);
    EXPECT_NE(PlanFeedRequest("not a url", "").error, 0);
    EXPECT_NE(PlanFeedRequest(nullptr, "").error, 0);
}
