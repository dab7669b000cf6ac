// Drawing the grid: the full draw with its reload, the redraw without one, the background with
// day labels, the header, all-day bars and timed lines.
#include <algorithm>

#include "foundation/debug/DebugTrace.h"
#include "ical/timezone/ZoneConversions.h"
#include "ical/value/RIcsDateTime.h"
#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "ui/month/ROrvaneMonthView.h"
#include "ui/view/RContentPlaceHolderWnd.h"

using platform::ui::DrawLineTo;
using platform::ui::DrawTextIn;
using platform::ui::FillSolidRect;
using platform::ui::MeasureText;
using platform::ui::PointFont;
using platform::ui::ScopedClip;
using platform::ui::ToQString;

namespace {

const QString kArial = QStringLiteral("Arial");

bool SameDate(const RDateTime& a, const RDateTime& b) { return a.year == b.year && a.month == b.month && a.day == b.day; }

CStringW CalendarColourText(ROrvaneCalendarItem* item) {
    ROrvaneCalendar* calendar = item->GetCalendar();
    return calendar != nullptr ? CStringW::FromUtf8(calendar->GetRGBValue().AsView()) : CStringW();
}

}  // namespace

ROrvaneMonthView::GridFonts& ROrvaneMonthView::Fonts() {
    if (!fonts_) {
        fonts_ = std::make_unique<GridFonts>(
            GridFonts{platform::ui::RMeasuredFont(PointFont(kArial, 100)), platform::ui::RMeasuredFont(PointFont(kArial, 90)),
                      platform::ui::RMeasuredFont(PointFont(kArial, 150))});
    }
    return *fonts_;
}

void ROrvaneMonthView::PrepareSurface() {
    const int width = std::max(1, client_.right - client_.left);
    const int height = std::max(1, client_.bottom - client_.top);
    if (surface_.width() != width || surface_.height() != height) {
        surface_ = QImage(width, height, QImage::Format_RGB32);
        surface_.fill(platform::ui::ToQColor(kBackgroundColour));
    }
    if (host_) host_->SetSurface(&surface_);
}

void ROrvaneMonthView::FinishPainting() {
    ++paintCount_;
    if (host_) host_->update();
}

RResult ROrvaneMonthView::Draw(const RDateTime& date, bool refreshCompleted) {
    DebugTrace("ROrvaneMonthView::Draw BEGIN - refreshCompleted=%d", refreshCompleted ? 1 : 0);
    RDateTime first, last;
    GetVisibleRange(date, &first, &last);
    bool reload = false;
    if (!SameDate(first, firstDate_)) {
        firstDate_ = first;
        lastDate_ = last;
        reload = true;
    }
    displayed_ = RDateTime{date.year, date.month, date.day, 0, 0, 0, 0};
    const RECT client = host_ ? platform::ui::FromQRect(host_->rect()) : RECT{};
    if (!(client == client_)) {
        client_ = client;
        reload = true;
    }
    if (!reload && !refreshCompleted) {
        DebugTrace("ROrvaneMonthView::Draw END - rc=%d", 0);
        return R_OK;
    }
    if (!loaded_.empty()) {
        ClearCells();
        loaded_.clear();
    }
    Layout(client_, firstDate_);
    PrepareSurface();
    RResult rc = R_OK;
    {
        QPainter dc(&surface_);
        if (DrawBackground(dc) == R_OK) DrawHeader(dc);
        if (accountManager_ && dataManager_) {
            // The query reaches one day past the grid, so timed items of its last day are found.
            RDateTime to = lastDate_;
            to.NextDay();
            const int count = accountManager_->GetAccountCount();
            for (int i = 0; i < count; ++i) {
                RRef<ROrvaneAccount> account = accountManager_->GetAccountAt(i);
                if (account && account->GetEnabled()) {
                    ++queryCount_;
                    (void)dataManager_->GetSharedItemsInDateRange(account->GetGuid(), firstDate_, to, &loaded_,
                                                                  ItemTexts::ForDrawing);
                }
            }
        }
        DistributeItems();
        rc = DrawCalendarItems(dc);
    }
    FinishPainting();
    DebugTrace("ROrvaneMonthView::Draw END - rc=%d", rc);
    return rc;
}

RResult ROrvaneMonthView::ReDraw() {
    DebugTrace("ROrvaneMonthView::ReDraw");
    if (firstDate_.year == 0) return R_OK;  // nothing drawn yet: the first Draw lays the grid out
    const RECT client = host_ ? platform::ui::FromQRect(host_->rect()) : RECT{};
    if (!(client == client_)) client_ = client;
    Layout(client_, firstDate_);
    PrepareSurface();
    RResult rc = R_OK;
    {
        QPainter dc(&surface_);
        rc = DrawBackground(dc);
        if (rc == R_OK) rc = DrawHeader(dc);
        DistributeItems();
        DrawCalendarItems(dc);
    }
    FinishPainting();
    DebugTrace("ROrvaneMonthView::ReDraw - rc=%d", rc);
    return rc;
}

RResult ROrvaneMonthView::DrawBackground(QPainter& dc) {
    platform::ui::RMeasuredFont& font = Fonts().day;
    FillSolidRect(dc, client_, kBackgroundColour);
    const RDateTime* today = GetCurrentLocalDateTime();
    for (int index = 0; index < 42; ++index) {
        RDayCell& cell = cells_[index];
        const RECT& r = cell.rect;
        DrawLineTo(dc, r.left + 4, r.top, r.right - 4, r.top, kGridColour);
        if (index % 7 != 0) DrawLineTo(dc, r.left, r.top + 4, r.left, r.bottom - 4, kGridColour);
        CStringW label;
        COLORREF colour;
        if (today != nullptr && SameDate(cell.date, *today)) {
            label = GetMonthName(cell.date.month);
            label.AppendFormat(" %d", cell.date.day);
            colour = kTodayColour;
        } else {
            label.Format("%d", cell.date.day);
            colour = cell.date.month == displayed_.month ? kTextColour : kOtherMonthColour;
        }
        const QString text = ToQString(label);
        const QSize size = font.Measure(text);
        const RECT box{r.right - 4 - size.width(), r.top + 4, r.right - 4, r.top + 4 + size.height()};
        DrawTextIn(dc, text, box, platform::ui::kTextNoClip, font, colour);
        cell.nextY = size.height() + 4;
    }
    return R_OK;
}

RResult ROrvaneMonthView::DrawHeader(QPainter& dc) {
    CStringW text = GetMonthName(displayed_.month);
    text.AppendFormat(" %d", displayed_.year);
    const QFont font = PointFont(kArial, 280, true);
    const QString shown = ToQString(text);
    const QSize size = MeasureText(font, shown);
    const int centre = client_.left + (client_.right - client_.left) / 2;
    const int top = client_.top + (kHeaderHeight - size.height()) / 2;
    const RECT box{centre - size.width() / 2, top, centre + size.width() / 2, top + size.height()};
    DrawTextIn(dc, shown, box, platform::ui::kTextNoClip, font, kTextColour);
    for (QPushButton* button : {previousButton_.data(), todayButton_.data(), nextButton_.data()}) {
        if (button != nullptr) {
            button->setDown(false);
            button->update();
        }
    }
    return R_OK;
}

RResult ROrvaneMonthView::DrawCalendarItems(QPainter& dc) {
    DebugTrace("ROrvaneMonthView::DrawCalendarItems BEGIN");
    // The list is copied: drawing never changes it, but the handles keep each item alive.
    const std::vector<RRef<ROrvaneCalendarItem>> allDay = allDay_;
    for (const RRef<ROrvaneCalendarItem>& item : allDay) {
        int row = 0, column = 0;
        if (FindItemCell(item.get(), &row, &column) == R_OK) DrawAllDayItem(dc, item.get(), row, column);
    }
    DebugTrace("ROrvaneMonthView::DrawCalendarItems AllDayEvents Done ... TimedEvents Next");
    for (RDayCell& cell : cells_) {
        const int height = cell.rect.bottom - cell.rect.top;
        cell.items.clear();
        for (RPlacedOccurrence& placed : cell.placed) {
            ROrvaneCalendarItem* item = ItemOf(placed);
            if (item == nullptr) continue;
            cell.items.push_back(placed.item);
            if (!item->IsAllDay()) DrawTimedItem(dc, cell, item);
            if (cell.nextY >= height) break;
        }
    }
    DebugTrace("ROrvaneMonthView::DrawCalendarItems END");
    return R_OK;
}

RResult ROrvaneMonthView::DrawAllDayItem(QPainter& dc, ROrvaneCalendarItem* item, int row, int column) {
    const int span = static_cast<int>(item->GetDurationDays());
    const int startIndex = row * 7 + column;
    // Only the cells left in the grid need a free lane: a bar running past the grid is drawn
    // where it is visible.
    const int needed = std::min(span, 42 - startIndex);
    int lane = -1;
    for (int candidate = 0; candidate < 16 && lane < 0; ++candidate) {
        if (needed <= 0) {
            lane = 0;
            break;
        }
        int free = 0;
        for (int index = startIndex; index < 42; ++index) {
            if (cells_[index].lanes[candidate] != 0) break;
            if (++free >= needed) {
                lane = candidate;
                break;
            }
        }
    }
    if (lane < 0) return R_OK;

    RIcsDateTime* start = item->GetOccurrenceStart();
    RIcsDateTime* end = item->GetOccurrenceEnd();
    if (start == nullptr || end == nullptr) return R_OK;
    const RDateTime startDate = start->dateTime;
    RDateTime lastDay = end->dateTime;
    lastDay.PreviousDay();
    for (int index = startIndex; index < 42; ++index) {
        RDayCell& cell = cells_[index];
        const bool isStart = SameDate(cell.date, startDate);
        const bool isEnd = SameDate(cell.date, lastDay);
        const int cellColumn = index % 7;
        if (CompareDateTime(cell.date, startDate) < 0 || CompareDateTime(cell.date, lastDay) > 0) continue;
        DrawAllDaySegment(dc, cell, item, lane, isStart, isEnd, cellColumn == 0, cellColumn == 6);
        if (isEnd) break;
    }
    return R_OK;
}

RResult ROrvaneMonthView::DrawAllDaySegment(QPainter& dc, RDayCell& cell, ROrvaneCalendarItem* item, int lane,
                                            bool isStart, bool isEnd, bool isFirstColumn, bool isLastColumn) {
    const CStringW colourText = CalendarColourText(item);
    const COLORREF pen = ParsePenColour(colourText);
    const COLORREF fill = ParseColour(colourText);
    platform::ui::RMeasuredFont& font = Fonts().item;
    const int L = cell.rect.left, R = cell.rect.right;
    const int top = cell.rect.top + 20 + 18 * lane;
    const int bottom = top + 16;
    item->SetHitRect(RItemRect{L, top, R, bottom});

    if (isStart) {
        platform::ui::RoundRect(dc, RECT{L + 2, top, L + 6, bottom}, 3, 3, pen, fill);
    } else {
        FillSolidRect(dc, RECT{L - 2, top, L + 2, bottom}, fill);
    }
    if (isEnd) {
        platform::ui::RoundRect(dc, RECT{R - 6, top, R - 2, bottom}, 3, 3, pen, fill);
    } else {
        FillSolidRect(dc, RECT{R - 4, top, R, bottom}, fill);
    }
    const RECT middle{isStart ? L + 4 : L, top, isEnd ? R - 5 : (isLastColumn ? R - 3 : R), bottom};
    FillSolidRect(dc, middle, fill);
    if (isStart || isFirstColumn) {
        RIcsDateTime* start = item->GetOccurrenceStart();
        const bool inMonth = start != nullptr && start->dateTime.month == displayed_.month;
        DrawTextIn(dc, ToQString(item->GetSummary()), middle, platform::ui::kTextEndEllipsis, font,
                   inMonth ? kTextColour : kOtherMonthColour);
    }
    DrawLineTo(dc, middle.left, top, middle.right + 1, top, pen);
    DrawLineTo(dc, middle.left, bottom, middle.right + 1, bottom, pen);
    cell.nextY = std::max(cell.nextY, 20 + 18 * lane) + 18;
    cell.lanes[lane] = 1;
    return R_OK;
}

RResult ROrvaneMonthView::DrawTimedItem(QPainter& dc, RDayCell& cell, ROrvaneCalendarItem* item) {
    const QString summary = ToQString(item->GetSummary());
    const QString time = ToQString(FormatItemTime(item));
    const CStringW colourText = CalendarColourText(item);
    const RECT& r = cell.rect;
    const int top = r.top + cell.nextY;
    const RECT box{r.left + 1, top, r.right - 1, std::min(top + 16, r.bottom - 2)};
    item->SetHitRect(RItemRect{box.left, box.top, box.right, box.bottom});
    ScopedClip clip(dc, box);

    GridFonts& fonts = Fonts();
    const QString bullet(QChar(0x2022));
    const QSize bulletSize = fonts.bullet.Measure(bullet);
    DrawTextIn(dc, bullet, RECT{r.left + 4, top - 4, r.left + 4 + bulletSize.width(), top - 4 + bulletSize.height()},
               platform::ui::kTextNoClip, fonts.bullet, ParsePenColour(colourText));

    const bool inMonth = cell.date.month == displayed_.month;
    const QSize timeSize = fonts.item.Measure(time);
    const int timeLeft = r.right - 4 - timeSize.width();
    DrawTextIn(dc, time, RECT{timeLeft, top, r.right - 4, top + timeSize.height()}, platform::ui::kTextNoClip, fonts.item,
               inMonth ? kTimeColour : kOtherMonthColour);

    const QSize summarySize = fonts.item.Measure(summary);
    const int left = r.left + bulletSize.width() + 6;
    const RECT summaryBox{left, top, std::min(left + summarySize.width(), timeLeft - 4), top + summarySize.height()};
    DrawTextIn(dc, summary, summaryBox, platform::ui::kTextEndEllipsis, fonts.item,
               inMonth ? kTextColour : kOtherMonthColour);
    cell.nextY += summarySize.height();
    return R_OK;
}

CStringW ROrvaneMonthView::FormatItemTime(ROrvaneCalendarItem* item) {
    RIcsDateTime* start = item->GetOccurrenceStart();
    if (start == nullptr) return CStringW();
    RDateTime t = start->dateTime;
    if (!InDisplayZone(item->GetDTStartOlsonTZ())) {
        RIcsDateTime* converted = nullptr;
        if (ConvertItemTimeToZone(start, &converted, zoneKey_) == R_OK && converted != nullptr) {
            t = converted->dateTime;
        }
        if (converted != nullptr) converted->Release();
    }
    if (start->dateOnly) return CStringW();
    const int h = t.hour, m = t.minute;
    const int d = (h == 0 || h == 12) ? 12 : (h > 12 ? h - 12 : h);
    CStringW label;
    if (m != 0) {
        label.Format("%d:%02d", d, m);
    } else {
        label.Format("%d", d);
    }
    label += h >= 12 ? u"p" : u"a";
    return label;
}
