#pragma once
// A month view on a real store, drawn on a host of a chosen cell size, with helpers that read
// what landed in the cells.
#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <vector>

#include "platform/ui/GdiShapes.h"
#include "platform/ui/QtStrings.h"
#include "tests/support/GuiApp.h"
#include "tests/ui/support/SeededStore.h"
#include "ui/month/ROrvaneMonthView.h"
#include "ui/view/RContentPlaceHolderWnd.h"

namespace orvane::test {

inline RDateTime Day(int year, int month, int day) {
    RDateTime date;
    date.year = year;
    date.month = static_cast<std::uint16_t>(month);
    date.day = static_cast<std::uint16_t>(day);
    return date;
}

class MonthFixture : public ::testing::Test {
protected:
    void SetUp() override {
        seed.AddAccount("acc", "Home");
        seed.AddCalendar("acc", "cal", "Personal", 0, "#FF0000FF");
    }
    void TearDown() override { view = nullptr; }

    // A grid of 7 columns of 100 pixels and 6 rows of `cellHeight`.
    void Start(int cellHeight = 100, const char* zone = "UTC") {
        host.resize(700, ROrvaneMonthView::kHeaderHeight + 6 * cellHeight);
        view = RRef<ROrvaneMonthView>::Adopt(new ROrvaneMonthView);
        view->Init(&host, CStringW::FromUtf8(zone), seed.Store(), seed.Accounts());
    }
    void Show(int year, int month) { ASSERT_EQ(R_OK, view->Draw(Day(year, month, 15), false)); }

    int CellOf(int year, int month, int day) const {
        for (int i = 0; i < 42; ++i) {
            const RDateTime& d = view->Cell(i).date;
            if (d.year == year && d.month == month && d.day == day) return i;
        }
        return -1;
    }
    std::vector<std::string> Summaries(int cell) const {
        std::vector<std::string> out;
        if (cell < 0) return out;
        for (const auto& item : view->Cell(cell).items) out.push_back(item->GetSummary().ToUtf8().GetString());
        return out;
    }
    std::vector<std::string> Summaries(int year, int month, int day) const { return Summaries(CellOf(year, month, day)); }
    ROrvaneCalendarItem* Find(const std::string& summary) const {
        for (int i = 0; i < 42; ++i) {
            for (const auto& item : view->Cell(i).items) {
                if (item->GetSummary().ToUtf8().GetString() == summary) return item.get();
            }
        }
        return nullptr;
    }
    COLORREF Pixel(int x, int y) const { return platform::ui::FromQColor(view->Surface().pixelColor(x, y)); }

    bool ready = (GuiApp(), true);
    SeededStore seed;
    RContentPlaceHolderWnd host;
    RRef<ROrvaneMonthView> view;
};

}  // namespace orvane::test
