#pragma once
// The six-week month grid drawn on the month host: its geometry, header, navigation buttons,
// day labels, all-day bars in lanes and timed lines with 12-hour labels in the display zone,
// the hit test that hands a double-clicked item to the event dialog, and new events.
//
// Drawing goes to a retained picture of the host's client size; the host's paint only copies
// it. Draw and ReDraw run where the program asks for them (first show, resize, navigation,
// messages, activation), never from a paint event, so Draw's "nothing changed" answer keeps
// the last picture.
//
// UI thread only.
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/datetime/RDateTime.h"
#include "foundation/memory/RRef.h"
#include "foundation/memory/RefCounted.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/timezone/ItemTimeConverter.h"
#include "platform/string/CString.h"
#include "platform/ui/GdiShapes.h"
#include "store/ROrvaneDataManager.h"
#include "store/records/ItemPointerArray.h"
#include "sync/ROrvaneCalendarItem.h"

class ROrvaneAccount;
class ROrvaneAccountManager;
class ROrvaneCalendar;
class RContentPlaceHolderWnd;
class RIcsDateTime;

using platform::ui::RECT;

// One occurrence filed in a cell. Its item is made when the cell draws it (all-day ones at once,
// for their lanes), so a busy month does not build thousands of items it cannot show.
struct RPlacedOccurrence {
    SYSTEMTIME key;                   // the occurrence sort key
    const CalendarItemRecord* row;    // a loaded row, or one the view re-read
    RDateTime occurrence;
    RRef<ROrvaneCalendarItem> item;   // null until made
};

struct RDayCell {
    RDateTime date;  // hour, minute and second 0
    RECT rect;
    int nextY = 0;
    std::uint8_t lanes[16] = {};
    std::vector<RPlacedOccurrence> placed;         // every occurrence of the day, ordered by sort key
    std::vector<RRef<ROrvaneCalendarItem>> items;  // those the last drawing reached, in the same order
};

class ROrvaneMonthView : public RRefCounted {
public:
    static constexpr int kHeaderHeight = 56;
    static constexpr int kNextButton = 1013;
    static constexpr int kPreviousButton = 1014;
    static constexpr int kTodayButton = 1015;
    static constexpr unsigned kEditMenu = 119;

    static constexpr COLORREF kBackgroundColour = 0xFAFAFA;
    static constexpr COLORREF kGridColour = 0xD6D6D6;
    static constexpr COLORREF kTextColour = 0x363636;
    static constexpr COLORREF kTimeColour = 0x7F7F7F;
    static constexpr COLORREF kOtherMonthColour = 0x7F7F7F;
    static constexpr COLORREF kTodayColour = 0xFF0000;  // blue

    // Where an edited or new item goes: the event dialog's entry point.
    using EditEntry = std::function<void(ROrvaneCalendarItem* item)>;

    ROrvaneMonthView();
    ~ROrvaneMonthView() override;

    virtual RResult Init(RContentPlaceHolderWnd* host, const CStringW& zoneOlsonId, ROrvaneDataManager* dataManager,
                         ROrvaneAccountManager* accountManager);
    virtual RResult Draw(const RDateTime& date, bool refreshCompleted);
    virtual RResult ReDraw();
    virtual RResult NextMonth();
    virtual RResult PreviousMonth();
    virtual RResult ShowToday();
    virtual RResult NewEvent(ROrvaneAccount* account, ROrvaneCalendar* calendar);
    virtual unsigned ShowContextMenu(int screenX, int screenY);
    virtual RResult EditItemAt(int x, int y);
    virtual RResult SetTimeZone(const CStringW& zoneOlsonId);
    virtual RResult DrawBackground(QPainter& dc);
    virtual RResult DrawHeader(QPainter& dc);
    virtual RResult DrawCalendarItems(QPainter& dc);
    virtual RResult DrawTimedItem(QPainter& dc, RDayCell& cell, ROrvaneCalendarItem* item);
    virtual RResult DrawAllDayItem(QPainter& dc, ROrvaneCalendarItem* item, int row, int column);
    virtual RResult DrawAllDaySegment(QPainter& dc, RDayCell& cell, ROrvaneCalendarItem* item, int lane,
                                      bool isStart, bool isEnd, bool isFirstColumn, bool isLastColumn);
    virtual void Layout(const RECT& client, const RDateTime& firstDate);
    static int GetVisibleRange(const RDateTime& date, RDateTime* first, RDateTime* last);
    virtual void DistributeItems();
    virtual void PlaceItem(const CalendarItemRecord& row);
    virtual void AddOccurrence(const RDateTime& occurrence, const CStringA* recurrenceId, const CalendarItemRecord& row);
    virtual RResult FindItemCell(ROrvaneCalendarItem* item, int* row, int* column);
    virtual void ClearCells();
    virtual CStringW FormatItemTime(ROrvaneCalendarItem* item);

    // The item whose drawn rectangle holds a point of the host, or null.
    ROrvaneCalendarItem* HitItemAt(int x, int y);
    // The stored exception row of one occurrence of a series, from the loaded rows (or the store
    // when nothing is loaded): 0, or STG_E_PATHNOTFOUND.
    RResult ResolveOccurrenceOverride(RIcsDateTime* occurrence, const CalendarItemRecord& master,
                                      const CStringA& accountGuid, CalendarItemRecord* exceptionOut);

    void SetEditEntry(EditEntry entry) { editEntry_ = std::move(entry); }

    const QImage& Surface() const { return surface_; }
    const RDayCell& Cell(int index) const { return cells_[index]; }
    const std::vector<RRef<ROrvaneCalendarItem>>& AllDayItems() const { return allDay_; }
    const RDateTime& FirstDate() const { return firstDate_; }
    const RDateTime& LastDate() const { return lastDate_; }
    const RDateTime& DisplayedDate() const { return displayed_; }
    const RECT& ClientRect() const { return client_; }
    const SharedItemList& LoadedItems() const { return loaded_; }
    // Date-range queries run so far, and drawings of the picture.
    int QueryCount() const { return queryCount_; }
    int PaintCount() const { return paintCount_; }
    const CStringW& ZoneOlsonId() const { return zoneOlsonId_; }
    QPushButton* Button(int id) const;
    // Puts the navigation buttons at the host's top right corner (at start and after a resize).
    void PlaceButtons();

private:
    // A painter on the retained picture, resized to the host's client size when needed.
    void PrepareSurface();
    void FinishPainting();
    // Files one occurrence in a cell under its sort key (the UTC start when `keyed`, else the
    // occurrence's own fields); an all-day one also in the all-day list.
    void FileOccurrence(int index, const CalendarItemRecord* row, const RDateTime& occurrence, SYSTEMTIME key,
                        bool keyed, bool dateOnly);
    // The grid cell of a date, or -1 outside the grid.
    int CellIndexOf(const RDateTime& date) const;
    // The date under which a timed occurrence of the row is filed: its date in the display zone.
    RDateTime DisplayDate(const RDateTime& occurrence, bool dateOnly, const CalendarItemRecord& row);
    // Whether the row's times read otherwise in the display zone (they carry another zone).
    bool ShownInOtherZone(const CalendarItemRecord& row);
    bool RowIsShown(const CalendarItemRecord& row);
    void IndexExceptionRows();
    RRef<ROrvaneAccount> CachedAccount(const CStringA& guid);
    void ExpandSeries(const CalendarItemRecord& row);
    // Whether times of this zone read the same in the display zone (no conversion needed); the
    // answer is kept per zone until the display zone changes.
    bool InDisplayZone(const CStringA& olsonId);
    std::unordered_map<std::string, bool> sameZone_;
    // The occurrence's item, made on first use.
    ROrvaneCalendarItem* ItemOf(RPlacedOccurrence& placed);
    RRef<ROrvaneCalendarItem> MakeItem(ROrvaneAccount* account, const CalendarItemRecord& row,
                                       const RDateTime& occurrence);

    QPointer<RContentPlaceHolderWnd> host_;
    RRef<ROrvaneDataManager> dataManager_;
    RRef<ROrvaneAccountManager> accountManager_;
    EditEntry editEntry_;
    CStringW zoneOlsonId_;
    CStringW zoneKey_;
    QPointer<QPushButton> nextButton_;
    QPointer<QPushButton> previousButton_;
    QPointer<QPushButton> todayButton_;
    CStringW todayCaption_;
    RECT client_;
    RDateTime displayed_;
    RDateTime firstDate_;
    RDateTime lastDate_;
    RDayCell cells_[42];
    std::vector<RRef<ROrvaneCalendarItem>> allDay_;  // ordered by CompareItemSpan, longest first
    SharedItemList loaded_;  // empty: nothing loaded

    QImage surface_;
    // The grid's fonts, with the texts measured in them kept from one drawing to the next.
    struct GridFonts {
        platform::ui::RMeasuredFont day;
        platform::ui::RMeasuredFont item;
        platform::ui::RMeasuredFont bullet;
    };
    std::unique_ptr<GridFonts> fonts_;
    GridFonts& Fonts();
    int queryCount_ = 0;
    int paintCount_ = 0;

    // An exception row of the loaded items with its RECURRENCE-ID read once: the original date
    // and, for a timed one, its instant.
    struct LoadedException {
        const CalendarItemRecord* row = nullptr;
        RDateTime start;      // the row's own start (read from the placement's index only)
        bool parsed = false;  // the RECURRENCE-ID could be read
        bool timed = false;   // ... and names a date and time, not a date
        RDateTime original;
        RResult instantResult = R_OK;
        SYSTEMTIME instant{};
    };
    using ExceptionList = std::vector<LoadedException>;
    // The first loaded exception (in array order) that stands for an occurrence of the series:
    // by its RECURRENCE-ID text, else, for a timed occurrence, by the same instant.
    const CalendarItemRecord* MatchException(const RIcsDateTime& occurrence, const CalendarItemRecord& master,
                                             const ExceptionList& exceptions);
    // Texts joined into a look-up key, in a buffer kept for it (valid until the next call).
    const std::string& KeyOf(const CStringA& a, const CStringA& b, const CStringA* c = nullptr);
    std::string keyScratch_;
    // The key of a series: guid, account and calendar.
    const std::string& SeriesKey(const CalendarItemRecord& row);
    // An exception row of the loaded items with its start and RECURRENCE-ID read.
    static LoadedException ReadLoadedException(const CalendarItemRecord* row, RItemTimeConverter& converter);
    // The converter of the running placement, or one made for a single call.
    RItemTimeConverter& Converter(std::unique_ptr<RItemTimeConverter>& single);

    // Valid during one DistributeItems: exception rows of the loaded items by series, in array
    // order, the accounts looked up so far and the zones resolved so far.
    std::unordered_map<std::string, ExceptionList> exceptionRows_;
    std::unique_ptr<RItemTimeConverter> converter_;
    std::unordered_map<std::string, bool> shownCalendars_;  // by account and calendar guid
    // Rules read so far, by their RRULE and EXDATE texts: a redraw and the next reload step the
    // same series again.
    static constexpr std::size_t kMostKeptRules = 20000;
    std::unordered_map<std::string, RRef<RIcsRecurrence>> rules_;
    // The kept rule of a series row, ready for a new expansion.
    RRef<RIcsRecurrence> RuleOf(const CalendarItemRecord& row);
    std::unordered_map<std::string, RRef<ROrvaneAccount>> accountCache_;
    bool placing_ = false;
    std::vector<std::unique_ptr<CalendarItemRecord>> rereadRows_;  // rows re-read for exceptions
};

// The bar fill: the calendar colour ("#RRGGBBAA") three quarters of the way to white; white for
// a text under 9 characters or with a colour pair that is not hexadecimal.
COLORREF ParseColour(const CStringW& colourText);
// The pen and bullet colour: the calendar colour; black for a text under 9 characters or with a
// colour pair that is not hexadecimal.
COLORREF ParsePenColour(const CStringW& colourText);
CStringW GetMonthName(int month);

// Sets the value's date and time from the row's stored start and empties its text caches.
RResult SetDateFromRecord(const CalendarItemRecord& row, RIcsDateTime* time);
// Orderings: by the occurrence sort key (cells), by span, longest first (all-day list).
int CompareItemStart(ROrvaneCalendarItem* a, ROrvaneCalendarItem* b);
int CompareItemSpan(ROrvaneCalendarItem* a, ROrvaneCalendarItem* b);
