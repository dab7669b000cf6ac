// Text fields of an item: what a user types is stored as iCalendar TEXT that no line break,
// comma, semicolon or backslash can break, and reads back exactly as typed.
#include "tests/sync/ItemModelFixture.h"

namespace orvane::test {
namespace {

using Item = ROrvaneCalendarItem;

TEST(ItemText, EveryLineBreakAndSpecialCharacterIsEscapedAndReadsBack) {
    const CStringW typed(u"Budget, Q3; draft\\final\r\nline2\rline3\nline4\u2028line5\u2029end\tTab");
    const CStringA stored = Item::WideToIcsText(typed);
    EXPECT_STREQ(stored, "Budget\\, Q3\\; draft\\\\final\\nline2\\nline3\\nline4\\nline5\\nend\\tTab");
    EXPECT_EQ(std::string(stored).find_first_of("\r\n"), std::string::npos) << "no raw line break may end a line";
    // Line breaks of every kind read back as CR LF; everything else as typed.
    EXPECT_EQ(Item::IcsTextToWide(stored).Str(),
              std::u16string(u"Budget, Q3; draft\\final\r\nline2\r\nline3\r\nline4\r\nline5\r\nend\tTab"));
}

TEST(ItemText, BackslashSequencesTypedByTheUserSurviveTheRoundTrip) {
    // A path typed into a description once came back with a TAB and a line break in it.
    for (const char16_t* typed : {u"C:\\temp\\new", u"\\n is not a line break", u"ends with \\", u"\\\\,\\;"}) {
        EXPECT_EQ(Item::IcsTextToWide(Item::WideToIcsText(CStringW(typed))).Str(), std::u16string(typed));
    }
    // Non-ASCII text is stored as UTF-8.
    EXPECT_STREQ(Item::WideToIcsText(CStringW(u"Café, Zürich")), "Caf\xC3\xA9\\, Z\xC3\xBCrich");
}

TEST(ItemText, TextFromOtherClientsIsUnescapedWithoutTouchingTheStoredField) {
    EXPECT_EQ(Item::IcsTextToWide("a\\;b\\\\c\\,d\\Ne").Str(), std::u16string(u"a;b\\c,d\r\ne"));
    // Pairs that are not escapes stay whole, also a backslash at the very end.
    EXPECT_EQ(Item::IcsTextToWide("x\\q y\\").Str(), std::u16string(u"x\\q y\\"));
}

TEST_F(ItemModelFixture, SettersStoreEscapedTextAndMarkOnlyRealChanges) {
    auto item = Item(Row("g1", "2024-03-01 10:00", "2024-03-01 11:00"));
    EXPECT_FALSE(item->IsModified());
    item->SetSummary(CStringW(u"Standup"));  // the stored text already
    EXPECT_FALSE(item->IsModified());
    item->SetSummary(CStringW(u"Lunch, then\r\nwalk"));
    EXPECT_TRUE(item->IsModified());
    EXPECT_STREQ(item->Record().summary, "Lunch\\, then\\nwalk");
    EXPECT_EQ(item->GetSummary().Str(), std::u16string(u"Lunch, then\r\nwalk"));
    EXPECT_STREQ(item->Record().summary, "Lunch\\, then\\nwalk") << "reading leaves the stored field";
    item->SetLocation(CStringW(u"Room 1; 2nd floor"));
    EXPECT_STREQ(item->Record().location, "Room 1\\; 2nd floor");
}

}  // namespace
}  // namespace orvane::test
