#include "ical/value/RIcsDateTime.h"

#include "foundation/memory/RRef.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Value = RRef<RIcsDateTime>;

Value FromIcs(const char* tzid, const char* text) {
    auto value = MakeRef<RIcsDateTime>();
    value->SetFromIcs(tzid, text);
    return value;
}

Value FromDb(const char* text, const char* tzid = nullptr) {
    auto value = MakeRef<RIcsDateTime>();
    value->SetFromDbText(text, tzid);
    return value;
}

TEST(RIcsDateTimeText, StoreForms) {
    RIcsDateTime fresh;
    EXPECT_STREQ(fresh.GetDbText(), "0000-00-00 00:00");
    EXPECT_STREQ(FromDb("2020-03-01 00:00:05")->GetDbText(), "2020-03-01 00:00:05");
    EXPECT_STREQ(FromDb("2020-03-01 00:00:00")->GetDbText(), "2020-03-01 00:00");
    EXPECT_STREQ(FromIcs(nullptr, "20200301")->GetDbText(), "2020-03-01");
    Value odd = FromDb("2020-12-3");  // not a stored length: zero block, date-only by length
    EXPECT_EQ(odd->dateTime.year, 0);
    EXPECT_TRUE(odd->dateOnly);
}

TEST(RIcsDateTimeText, IcalendarAndCompactForms) {
    EXPECT_STREQ(FromIcs("Z", "20201231T101530Z")->GetIcsValue(true), ":20201231T101530Z");
    EXPECT_STREQ(FromIcs(nullptr, "20201231T101530")->GetIcsValue(true), ":20201231T101530");
    EXPECT_STREQ(FromIcs("Europe/Berlin", "20201231T101530")->GetIcsValue(true),
                 ";TZID=Europe/Berlin:20201231T101530");
    EXPECT_STREQ(FromIcs("Europe/Berlin", "20201231")->GetIcsValue(true), ":20201231");
    EXPECT_STREQ(FromIcs("Z", "20201231T101530Z")->GetCompactText(), "20201231T101530");
    EXPECT_STREQ(FromIcs("Europe/Berlin", "20201231")->GetCompactText(), "20201231");

    // The first call decides the colon; the form is cached from then on.
    Value value = FromIcs(nullptr, "20201231T101530");
    EXPECT_STREQ(value->GetIcsValue(false), "20201231T101530");
    EXPECT_STREQ(value->GetIcsValue(true), "20201231T101530");
}

TEST(RIcsDateTimeText, CachesStayUntilCleared) {
    Value value = FromDb("2020-03-01 10:00");
    EXPECT_STREQ(value->GetDbText(), "2020-03-01 10:00");
    value->dateTime.hour = 11;
    EXPECT_STREQ(value->GetDbText(), "2020-03-01 10:00");
    value->ClearTextCaches();
    EXPECT_STREQ(value->GetDbText(), "2020-03-01 11:00");
}

TEST(RIcsDateTimeFields, OverlongZoneIsCutAndStillFitsTheIcalendarForm) {
    const std::string zone(300, 'A');
    Value value = FromIcs(zone.c_str(), "20201231T101530");
    EXPECT_FALSE(value->floating);
    EXPECT_EQ(std::string(value->tzid), zone.substr(0, 127));
    EXPECT_EQ(std::string(value->GetIcsValue(true)), ";TZID=" + zone.substr(0, 127) + ":20201231T101530");
    value->SetTzid(nullptr);
    EXPECT_STREQ(value->tzid, "");
    EXPECT_TRUE(value->floating);

    const std::string longText = "20201231T101530" + std::string(1000, '7');
    EXPECT_LT(std::string(FromIcs(nullptr, longText.c_str())->GetDbText()).size(), RIcsDateTime::kDbTextSize);
}

TEST(RIcsDateTimeCompare, FieldsThenDateOnlyFlagThenZone) {
    Value dateOnly = FromIcs(nullptr, "20201231");
    Value midnight = FromIcs(nullptr, "20201231T000000");
    EXPECT_EQ(RIcsDateTime::Compare(*dateOnly, *midnight), 1);
    EXPECT_EQ(RIcsDateTime::Compare(*midnight, *dateOnly), 1);
    Value earlier = FromIcs(nullptr, "20201230T235959");
    EXPECT_EQ(RIcsDateTime::Compare(*earlier, *dateOnly), -1);
    Value berlin = FromIcs("Europe/Berlin", "20201231T100000");
    Value paris = FromIcs("Europe/Paris", "20201231T100000");
    EXPECT_EQ(RIcsDateTime::Compare(*berlin, *paris), -1);
    EXPECT_EQ(RIcsDateTime::Compare(*paris, *berlin), 1);
    EXPECT_EQ(RIcsDateTime::Compare(*paris, *paris), 0);
}

TEST(RIcsDateTimeClone, CopiesFieldsWithEmptyCachesAndItsOwnCount) {
    Value source = FromIcs("Z", "20201231T101530Z");
    EXPECT_STREQ(source->GetCompactText(), "20201231T101530");
    source->dateTime.minute = 0;  // changed after its text was made
    Value copy = Value::Adopt(RIcsDateTime::Clone(*source));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->RefCount(), 1);
    EXPECT_STREQ(copy->tzid, "Z");
    EXPECT_STREQ(copy->GetCompactText(), "20201231T100030");
}

TEST(RIcsDateTimeText, CompactFormKeepsItsWidthsAtTheEdgesOfEveryField) {
    struct Case {
        RDateTime fields;
        bool dateOnly;
        const char* text;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0, 0}, false, "00000000T000000"},
        {{7, 1, 2, 3, 4, 5, 0}, false, "00070102T030405"},
        {{9999, 12, 31, 23, 59, 59, 0}, false, "99991231T235959"},
        {{9999, 12, 31, 23, 59, 59, 0}, true, "99991231"},
        {{10000, 1, 1, 0, 0, 0, 0}, false, "100000101T000000"},
        {{-1, 1, 1, 0, 0, 0, 0}, true, "-0010101"},
        {{2020, 100, 1, 0, 0, -1, 0}, false, "202010001T0000-1"},
    };
    for (const Case& c : cases) {
        RIcsDateTime value;
        value.dateTime = c.fields;
        value.dateOnly = c.dateOnly;
        EXPECT_STREQ(value.GetCompactText(), c.text);
    }
}

}  // namespace
