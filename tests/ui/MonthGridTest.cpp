// The month grid: visible range across year ends and leap Februaries, cell geometry, what is
// drawn where (pixel probes), when the store is queried, all-day lanes and the hit test.
#include <gtest/gtest.h>

#include "tests/ui/support/MonthFixture.h"

using namespace orvane::test;
using platform::ui::RGB;

namespace {

std::string Text(const RDateTime& d) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buffer;
}

std::pair<std::string, std::string> Range(int year, int month, int day = 15) {
    RDateTime first, last;
    EXPECT_EQ(1, ROrvaneMonthView::GetVisibleRange(Day(year, month, day), &first, &last));
    EXPECT_EQ(first.hour + first.minute + first.second, 0);
    return {Text(first), Text(last)};
}

int CountNear(const QImage& image, const QRect& area, COLORREF colour, int tolerance = 40) {
    int count = 0;
    const QColor want = platform::ui::ToQColor(colour);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) + std::abs(c.blue() - want.blue()) <=
                tolerance) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace

TEST(MonthRange, SixWeeksFromTheSundayOnOrBeforeTheFirst) {
    // March 2015 begins on a Sunday: the grid starts on the 1st itself.
    EXPECT_EQ(Range(2015, 3), std::make_pair(std::string("2015-03-01"), std::string("2015-04-11")));
    // Across the year's end.
    EXPECT_EQ(Range(2021, 1, 1), std::make_pair(std::string("2020-12-27"), std::string("2021-02-06")));
    EXPECT_EQ(Range(2023, 12, 31), std::make_pair(std::string("2023-11-26"), std::string("2024-01-06")));
    // Leap and common Februaries, and a March whose grid reaches back into a leap February.
    EXPECT_EQ(Range(2024, 2), std::make_pair(std::string("2024-01-28"), std::string("2024-03-09")));
    EXPECT_EQ(Range(2023, 2), std::make_pair(std::string("2023-01-29"), std::string("2023-03-11")));
    EXPECT_EQ(Range(2024, 3), std::make_pair(std::string("2024-02-25"), std::string("2024-04-06")));
    EXPECT_EQ(Range(2000, 3), std::make_pair(std::string("2000-02-27"), std::string("2000-04-08")));
    EXPECT_EQ(Range(1900, 3), std::make_pair(std::string("1900-02-25"), std::string("1900-04-07")));
}

TEST_F(MonthFixture, CellsShareTheRemainderPixelsFromTheTopAndLeft) {
    Start();
    // 56 + 6 * 97 + 4 high, 7 * 90 + 3 wide.
    view->Layout(RECT{0, 0, 633, 56 + 6 * 97 + 4}, Day(2015, 3, 1));
    EXPECT_EQ(view->Cell(0).rect, (RECT{0, 56, 91, 56 + 98}));
    EXPECT_EQ(view->Cell(3 * 7).rect.bottom - view->Cell(3 * 7).rect.top, 98);
    EXPECT_EQ(view->Cell(4 * 7).rect.bottom - view->Cell(4 * 7).rect.top, 97);
    EXPECT_EQ(view->Cell(41).rect.bottom, 56 + 6 * 97 + 4);
    EXPECT_EQ(view->Cell(2).rect.right - view->Cell(2).rect.left, 91);
    EXPECT_EQ(view->Cell(3).rect.right - view->Cell(3).rect.left, 90);
    EXPECT_EQ(view->Cell(6).rect.right, 633);
    EXPECT_EQ(Text(view->Cell(41).date), "2015-04-11");
    // Dates run on through month and year ends.
    view->Layout(RECT{0, 0, 700, 656}, Day(2023, 11, 26));
    EXPECT_EQ(Text(view->Cell(36).date), "2024-01-01");
}

TEST_F(MonthFixture, DrawsBackgroundGridLinesLabelsAndHeader) {
    seed.Import("acc", "cal", Event("t1", "Dentist", "DTSTART:20150311T093000\r\nDTEND:20150311T103000\r\n"), "t1.ics");
    Start();
    Show(2015, 3);
    const QImage image = view->Surface();
    SaveTestPicture(image, "month-march-2015");
    ASSERT_EQ(image.size(), QSize(700, 656));
    const RECT cell = view->Cell(8).rect;  // row 1, column 1
    EXPECT_EQ(Pixel(cell.left + 50, cell.top + 50), ROrvaneMonthView::kBackgroundColour);
    EXPECT_EQ(Pixel(cell.left + 10, cell.top), ROrvaneMonthView::kGridColour);       // top line
    EXPECT_EQ(Pixel(cell.left + 2, cell.top), ROrvaneMonthView::kBackgroundColour);  // 4 pixels short
    EXPECT_EQ(Pixel(cell.right - 4, cell.top), ROrvaneMonthView::kBackgroundColour);
    EXPECT_EQ(Pixel(cell.left, cell.top + 50), ROrvaneMonthView::kGridColour);       // left line
    EXPECT_EQ(Pixel(cell.left, cell.bottom - 4), ROrvaneMonthView::kBackgroundColour);
    const RECT first = view->Cell(7).rect;  // column 0 has no left line
    EXPECT_EQ(Pixel(first.left, first.top + 50), ROrvaneMonthView::kBackgroundColour);
    // The day label sits at the top right; the header's text is centred in the 56-pixel band.
    EXPECT_GT(CountNear(image, QRect(cell.right - 20, cell.top + 4, 16, 14), ROrvaneMonthView::kTextColour, 80), 3);
    EXPECT_GT(CountNear(image, QRect(250, 8, 200, 40), ROrvaneMonthView::kTextColour, 80), 50);
    EXPECT_EQ(CountNear(image, QRect(0, 0, 120, 56), ROrvaneMonthView::kTextColour, 80), 0);
    // Days of April are labelled in the other-month grey, those of March in the text colour.
    const RECT april = view->Cell(CellOf(2015, 4, 8)).rect;
    EXPECT_EQ(CountNear(image, QRect(april.right - 20, april.top + 4, 16, 14), ROrvaneMonthView::kTextColour, 20), 0);
    // The timed line: red bullet, grey time label, summary.
    const RECT wed = view->Cell(CellOf(2015, 3, 11)).rect;
    EXPECT_GT(CountNear(image, QRect(wed.left + 2, wed.top + 19, 14, 16), RGB(255, 0, 0), 120), 3);
    EXPECT_GT(CountNear(image, QRect(wed.right - 40, wed.top + 19, 36, 14), ROrvaneMonthView::kTimeColour, 60), 3);
    EXPECT_EQ(view->FormatItemTime(Find("Dentist")), CStringW(u"9:30a"));
}

TEST_F(MonthFixture, TodayIsLabelledWithItsMonthNameInBlue) {
    Start();
    const RDateTime today = *GetCurrentLocalDateTime();
    ASSERT_EQ(R_OK, view->Draw(today, false));
    const int index = CellOf(today.year, today.month, today.day);
    ASSERT_GE(index, 0);
    const RECT cell = view->Cell(index).rect;
    const QImage image = view->Surface();
    SaveTestPicture(image, "month-today");
    EXPECT_GT(CountNear(image, QRect(cell.left + 20, cell.top + 4, cell.right - cell.left - 24, 15),
                        ROrvaneMonthView::kTodayColour, 120),
              10);
    const RECT other = view->Cell(index == 0 ? 1 : 0).rect;
    EXPECT_EQ(CountNear(image, QRect(other.left, other.top, 100, 20), ROrvaneMonthView::kTodayColour, 120), 0);
}

TEST_F(MonthFixture, TheStoreIsQueriedOnlyWhenRangeSizeOrARefreshSaySo) {
    seed.AddAccount("off", "Switched off", false);
    Start();
    Show(2015, 3);
    EXPECT_EQ(view->QueryCount(), 1);  // enabled accounts only
    const int painted = view->PaintCount();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(R_OK, view->Draw(Day(2015, 3, 2), false));  // same grid, same size
    const std::string trace = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(trace.find("ROrvaneMonthView::Draw BEGIN - refreshCompleted=0"), std::string::npos);
    EXPECT_NE(trace.find("ROrvaneMonthView::Draw END - rc=0"), std::string::npos);
    EXPECT_EQ(view->QueryCount(), 1);
    EXPECT_EQ(view->PaintCount(), painted);
    EXPECT_EQ(view->DisplayedDate().day, 2);

    EXPECT_EQ(R_OK, view->Draw(Day(2015, 3, 2), true));
    EXPECT_EQ(view->QueryCount(), 2);
    EXPECT_EQ(R_OK, view->ReDraw());
    EXPECT_EQ(view->QueryCount(), 2);
    EXPECT_EQ(view->PaintCount(), painted + 2);
    host.resize(701, 656);
    EXPECT_EQ(R_OK, view->Draw(Day(2015, 3, 2), false));
    EXPECT_EQ(view->QueryCount(), 3);
    EXPECT_EQ(view->Surface().width(), 701);
    EXPECT_EQ(R_OK, view->NextMonth());
    EXPECT_EQ(view->QueryCount(), 4);
    EXPECT_EQ(Text(view->DisplayedDate()), "2015-04-15");
    view->PreviousMonth();
    view->PreviousMonth();
    view->PreviousMonth();
    EXPECT_EQ(Text(view->DisplayedDate()), "2015-01-15");
    view->PreviousMonth();
    EXPECT_EQ(Text(view->DisplayedDate()), "2014-12-15");
    view->NextMonth();
    EXPECT_EQ(Text(view->DisplayedDate()), "2015-01-15");
}

TEST_F(MonthFixture, AllDayBarsTakeLanesAndTimedLinesFollowThem) {
    std::string events;
    for (int i = 0; i < 5; ++i) {
        events += Event("a" + std::to_string(i), "Day " + std::to_string(i),
                        "DTSTART;VALUE=DATE:20150311\r\nDTEND;VALUE=DATE:20150312\r\n");
    }
    events += Event("t", "Timed", "DTSTART:20150311T100000\r\nDTEND:20150311T110000\r\n");
    seed.Import("acc", "cal", events, "lanes.ics");
    Start(150);
    Show(2015, 3);
    SaveTestPicture(view->Surface(), "month-lanes");
    const RDayCell& cell = view->Cell(CellOf(2015, 3, 11));
    ASSERT_EQ(cell.items.size(), 6u);
    std::vector<int> tops;
    for (int i = 0; i < 5; ++i) tops.push_back(Find("Day " + std::to_string(i))->GetHitRect().top - cell.rect.top);
    std::sort(tops.begin(), tops.end());
    EXPECT_EQ(tops, (std::vector<int>{20, 38, 56, 74, 92}));
    EXPECT_EQ(Find("Timed")->GetHitRect().top - cell.rect.top, 20 + 18 * 4 + 18);
    EXPECT_EQ(Find("Timed")->GetHitRect().left, cell.rect.left + 1);
    // The bar's fill is the calendar colour three quarters of the way to white.
    EXPECT_EQ(Pixel(cell.rect.left + 50, cell.rect.top + 20 + 8), RGB(255, 191, 191));
    EXPECT_EQ(Pixel(cell.rect.left + 50, cell.rect.top + 20), RGB(255, 0, 0));  // pen line
}

TEST_F(MonthFixture, AThreeDayBarWrapsIntoTheNextRowWithItsTitleRepeated) {
    seed.Import("acc", "cal",
                Event("w", "Weekend trip", "DTSTART;VALUE=DATE:20150313\r\nDTEND;VALUE=DATE:20150316\r\n") +
                    Event("late", "Past the grid", "DTSTART;VALUE=DATE:20150411\r\nDTEND;VALUE=DATE:20150414\r\n"),
                "bars.ics");
    Start();
    Show(2015, 3);
    SaveTestPicture(view->Surface(), "month-bars");
    const QImage image = view->Surface();
    const RECT fri = view->Cell(CellOf(2015, 3, 13)).rect, sat = view->Cell(CellOf(2015, 3, 14)).rect,
               sun = view->Cell(CellOf(2015, 3, 15)).rect, mon = view->Cell(CellOf(2015, 3, 16)).rect;
    const int y = fri.top + 28;
    EXPECT_EQ(Pixel(fri.left + 50, y), RGB(255, 191, 191));
    EXPECT_EQ(Pixel(sat.right - 1, sat.top + 28), RGB(255, 191, 191));  // runs to the row's end
    EXPECT_EQ(Pixel(sun.left + 50, sun.top + 28), RGB(255, 191, 191));
    EXPECT_EQ(Pixel(mon.left + 50, mon.top + 28), ROrvaneMonthView::kBackgroundColour);
    auto text = [&](const RECT& r) {
        return CountNear(image, QRect(r.left, r.top + 21, 60, 14), ROrvaneMonthView::kTextColour, 90);
    };
    EXPECT_GT(text(fri), 5);
    EXPECT_EQ(text(sat), 0);  // the title is drawn once per row
    EXPECT_GT(text(sun), 5);
    // A bar running past the grid's last cell is drawn where it is visible.
    const RECT last = view->Cell(41).rect;
    EXPECT_EQ(Pixel(last.left + 50, last.top + 28), RGB(255, 191, 191));
}

TEST_F(MonthFixture, DoubleClicksOpenOnlyDrawnItems) {
    std::string events;
    for (int i = 0; i < 8; ++i) {
        events += Event("m" + std::to_string(i), "Meeting " + std::to_string(i),
                        "DTSTART:20150317T0" + std::to_string(i + 1) + "0000\r\nDTEND:20150317T0" +
                            std::to_string(i + 1) + "3000\r\n");
    }
    seed.Import("acc", "cal", events, "busy.ics");
    Start(100);
    Show(2015, 3);
    std::vector<std::string> opened;
    view->SetEditEntry([&](ROrvaneCalendarItem* item) { opened.push_back(item->GetSummary().ToUtf8().GetString()); });
    const RDayCell& cell = view->Cell(CellOf(2015, 3, 17));
    const RItemRect first = Find("Meeting 0")->GetHitRect();
    view->EditItemAt(first.left + 5, first.top + 2);
    EXPECT_EQ(opened, (std::vector<std::string>{"Meeting 0"}));
    view->EditItemAt(350, 20);                                      // the header
    view->EditItemAt(cell.rect.left + 5, cell.rect.top + 5);        // the day label's line
    EXPECT_EQ(cell.placed.size(), 8u);
    EXPECT_EQ(Find("Meeting 7"), nullptr);  // no room left for it: never drawn, never hit
    view->EditItemAt(cell.rect.left + 50, cell.rect.bottom - 1);
    EXPECT_EQ(opened.size(), 1u);
}

TEST(MonthColours, CalendarColourTextsGiveThePenAndTheLightenedFill) {
    EXPECT_EQ(ParseColour(CStringW(u"#FF0000FF")), RGB(255, 191, 191));
    EXPECT_EQ(ParsePenColour(CStringW(u"#FF0000FF")), RGB(255, 0, 0));
    EXPECT_EQ(ParseColour(CStringW(u"#80000000")), RGB(223, 191, 191));
    EXPECT_EQ(ParseColour(CStringW(u"#FF0000")), RGB(255, 255, 255));  // no alpha pair: too short
    EXPECT_EQ(ParsePenColour(CStringW(u"#FF0000")), 0u);
    EXPECT_EQ(ParseColour(CStringW(u"#GG0000FF")), RGB(255, 255, 255));
    EXPECT_EQ(ParsePenColour(CStringW(u"#FF-10000")), 0u);
    EXPECT_EQ(ParseColour(CStringW()), RGB(255, 255, 255));
    EXPECT_EQ(GetMonthName(3), CStringW(u"March"));
    EXPECT_EQ(GetMonthName(0), CStringW());
    EXPECT_EQ(GetMonthName(13), CStringW());
}
