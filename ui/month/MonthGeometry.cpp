// The grid's dates and rectangles, month names and calendar colours.
#include <cctype>

#include "foundation/text/CalendarColor.h"
#include "ui/month/ROrvaneMonthView.h"

namespace {

bool SameDate(const RDateTime& a, const RDateTime& b) { return a.year == b.year && a.month == b.month && a.day == b.day; }

// The six colour digits after "#" are hexadecimal.
bool HasHexColour(const CStringW& text) {
    if (text.GetLength() < 9) return false;
    for (int i = 1; i <= 6; ++i) {
        const char16_t c = text[i];
        if (c > 0x7F || !std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

int HexPair(const CStringW& text, int at) {
    auto digit = [](char16_t c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    return digit(text[at]) * 16 + digit(text[at + 1]);
}

}  // namespace

int ROrvaneMonthView::GetVisibleRange(const RDateTime& date, RDateTime* first, RDateTime* last) {
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int month = date.month >= 1 && date.month <= 12 ? date.month : 1;
    const int y = month < 3 ? date.year - 1 : date.year;
    const int w = ((y + y / 4 - y / 100 + y / 400 + t[month - 1] + 1) % 7 + 7) % 7;
    RDateTime day;
    day.year = date.year;
    day.month = static_cast<std::uint16_t>(month);
    day.day = 1;
    for (int i = 0; i < w; ++i) day.PreviousDay();
    RDateTime end = day;
    for (int i = 0; i < 41; ++i) end.NextDay();
    if (first != nullptr) *first = RDateTime{day.year, day.month, day.day, 0, 0, 0, 0};
    if (last != nullptr) *last = RDateTime{end.year, end.month, end.day, 0, 0, 0, 0};
    return 1;
}

void ROrvaneMonthView::Layout(const RECT& client, const RDateTime& firstDate) {
    ClearCells();
    const int height = client.bottom - client.top - kHeaderHeight;
    const int width = client.right - client.left;
    const int rowBase = height > 0 ? height / 6 : 0, rowExtra = height > 0 ? height % 6 : 0;
    const int colBase = width > 0 ? width / 7 : 0, colExtra = width > 0 ? width % 7 : 0;
    RDateTime date{firstDate.year, firstDate.month, firstDate.day, 0, 0, 0, 0};
    int top = kHeaderHeight;
    for (int row = 0; row < 6; ++row) {
        const int rowHeight = rowBase + (row < rowExtra ? 1 : 0);
        int left = client.left;
        for (int column = 0; column < 7; ++column) {
            const int columnWidth = colBase + (column < colExtra ? 1 : 0);
            RDayCell& cell = cells_[row * 7 + column];
            cell.date = date;
            cell.rect = RECT{left, top, left + columnWidth, top + rowHeight};
            cell.nextY = 0;
            std::fill(std::begin(cell.lanes), std::end(cell.lanes), 0);
            cell.items.clear();
            cell.placed.clear();
            left += columnWidth;
            date.NextDay();
        }
        top += rowHeight;
    }
}

int ROrvaneMonthView::CellIndexOf(const RDateTime& date) const {
    if (firstDate_.year == 0 || date.year == 0) return -1;
    const RDateTime day{date.year, date.month, date.day, 0, 0, 0, 0};
    const long double offset = day.ToDayNumber() - firstDate_.ToDayNumber();
    if (offset < 0 || offset > 41) return -1;
    const int index = static_cast<int>(offset + 0.5L);
    return SameDate(cells_[index].date, day) ? index : -1;
}

CStringW GetMonthName(int month) {
    static const char16_t* const names[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                            u"July",    u"August",   u"September", u"October", u"November", u"December"};
    return month >= 1 && month <= 12 ? CStringW(names[month - 1]) : CStringW();
}

COLORREF ParseColour(const CStringW& colourText) {
    if (!HasHexColour(colourText)) return 0xFFFFFF;
    auto lighten = [](int c) { return c + (765 - 3 * c) / 4; };
    const int red = lighten(HexPair(colourText, 1));
    const int green = lighten(HexPair(colourText, 3));
    const int blue = lighten(HexPair(colourText, 5));
    return static_cast<COLORREF>(red | (green << 8) | (blue << 16));
}

COLORREF ParsePenColour(const CStringW& colourText) {
    return HasHexColour(colourText) ? ParseCalendarColor(colourText) : 0;
}
