#include "ui/month/ROrvaneMonthView.h"

#include "ical/timezone/ZoneConversions.h"
#include "ical/value/RIcsDateTime.h"
#include "platform/ui/ContextMenus.h"
#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "ui/view/RContentPlaceHolderWnd.h"

ROrvaneMonthView::ROrvaneMonthView() : todayCaption_(u"Today") {}

ROrvaneMonthView::~ROrvaneMonthView() {
    ClearCells();
    if (host_) host_->SetSurface(nullptr);
    delete nextButton_.data();
    delete previousButton_.data();
    delete todayButton_.data();
}

RResult ROrvaneMonthView::Init(RContentPlaceHolderWnd* host, const CStringW& zoneOlsonId,
                               ROrvaneDataManager* dataManager, ROrvaneAccountManager* accountManager) {
    host_ = host;
    dataManager_ = RRef<ROrvaneDataManager>::Share(dataManager);
    accountManager_ = RRef<ROrvaneAccountManager>::Share(accountManager);
    const RResult result = SetTimeZone(zoneOlsonId);
    if (host_ == nullptr) return result;
    host_->SetSurface(&surface_);
    auto make = [this](const QString& caption, int id) {
        auto* button = new QPushButton(caption, host_);
        button->setFocusPolicy(Qt::TabFocus);
        QObject::connect(button, &QPushButton::clicked, host_, [host = host_, id] {
            if (host) host->OnCommand(id);
        });
        button->show();
        return button;
    };
    previousButton_ = make("<<", kPreviousButton);
    todayButton_ = make(platform::ui::ToQString(todayCaption_), kTodayButton);
    nextButton_ = make(">>", kNextButton);
    PlaceButtons();
    return result;
}

void ROrvaneMonthView::PlaceButtons() {
    if (host_ == nullptr) return;
    const QRect client = host_->rect();
    const int R = client.x() + client.width(), T = client.y();
    // Measured from the host's right edge: left and right offsets of each button.
    auto place = [R, T](QPushButton* button, int left, int right) {
        if (button != nullptr) button->setGeometry(QRect(R - left, T + 16, left - right, 24));
    };
    place(previousButton_.data(), 166, 112);
    place(todayButton_.data(), 113, 58);
    place(nextButton_.data(), 59, 4);
}

QPushButton* ROrvaneMonthView::Button(int id) const {
    switch (id) {
        case kNextButton: return nextButton_.data();
        case kPreviousButton: return previousButton_.data();
        case kTodayButton: return todayButton_.data();
        default: return nullptr;
    }
}

RResult ROrvaneMonthView::SetTimeZone(const CStringW& zoneOlsonId) {
    if (zoneOlsonId == zoneOlsonId_) return R_OK;
    zoneOlsonId_ = zoneOlsonId;
    sameZone_.clear();
    return MapTzidToWindowsZone(zoneOlsonId_, zoneKey_);
}

RResult ROrvaneMonthView::NextMonth() {
    RDateTime date{displayed_.year, displayed_.month, 15, 0, 0, 0, 0};
    if (++date.month > 12) {
        date.month = 1;
        ++date.year;
    }
    return Draw(date, false);
}

RResult ROrvaneMonthView::PreviousMonth() {
    RDateTime date{displayed_.year, displayed_.month, 15, 0, 0, 0, 0};
    if (date.month <= 1) {
        date.month = 12;
        --date.year;
    } else {
        --date.month;
    }
    return Draw(date, false);
}

RResult ROrvaneMonthView::ShowToday() {
    const RDateTime* today = GetCurrentLocalDateTime();
    return Draw(today != nullptr ? *today : displayed_, false);
}

void ROrvaneMonthView::ClearCells() {
    for (RDayCell& cell : cells_) {
        cell.items.clear();
        cell.placed.clear();
    }
    allDay_.clear();
    rereadRows_.clear();
}

RResult ROrvaneMonthView::FindItemCell(ROrvaneCalendarItem* item, int* row, int* column) {
    for (int index = 0; index < 42; ++index) {
        for (const RPlacedOccurrence& placed : cells_[index].placed) {
            if (placed.item.get() == item) {
                if (row != nullptr) *row = index / 7;
                if (column != nullptr) *column = index % 7;
                return R_OK;
            }
        }
    }
    return STG_E_PATHNOTFOUND;
}

ROrvaneCalendarItem* ROrvaneMonthView::HitItemAt(int x, int y) {
    const RECT& first = cells_[0].rect;
    if (y < first.top || x < first.left) return nullptr;
    int row = -1;
    for (int r = 0; r < 6; ++r) {
        if (cells_[r * 7].rect.bottom >= y) {
            row = r;
            break;
        }
    }
    if (row < 0 || y < cells_[row * 7].rect.top) return nullptr;
    int column = -1;
    for (int c = 0; c < 7; ++c) {
        if (cells_[row * 7 + c].rect.right >= x) {
            column = c;
            break;
        }
    }
    if (column < 0 || x < cells_[row * 7 + column].rect.left) return nullptr;
    for (const RRef<ROrvaneCalendarItem>& item : cells_[row * 7 + column].items) {
        const RItemRect& hit = item->GetHitRect();
        if (platform::ui::PtInRect(RECT{hit.left, hit.top, hit.right, hit.bottom}, x, y)) return item.get();
    }
    return nullptr;
}

RResult ROrvaneMonthView::EditItemAt(int x, int y) {
    ROrvaneCalendarItem* item = HitItemAt(x, y);
    if (item == nullptr || !editEntry_) return R_OK;
    // The grid's items carry what drawing needs; the dialog gets the whole stored row.
    RRef<ROrvaneCalendarItem> edited = RRef<ROrvaneCalendarItem>::Share(item);
    const CalendarItemRecord& shown = item->Record();
    CalendarItemRecord whole;
    RIcsDateTime* start = item->GetOccurrenceStart();
    if (dataManager_ && start != nullptr &&
        dataManager_->FindCalendarItem(shown.guid, shown.recurrenceID, shown.parentCalendarGuid,
                                       shown.parentAccountGuid, &whole) == R_OK) {
        RRef<ROrvaneAccount> account = RRef<ROrvaneAccount>::Share(item->GetAccount());
        if (RRef<ROrvaneCalendarItem> full = MakeItem(account.get(), whole, start->dateTime)) {
            full->SetOccurrenceSortKey(item->GetOccurrenceSortKey());
            full->SetHitRect(item->GetHitRect());
            edited = full;
        }
    }
    editEntry_(edited.get());
    return R_OK;
}

RResult ROrvaneMonthView::NewEvent(ROrvaneAccount* account, ROrvaneCalendar* calendar) {
    RRef<ROrvaneCalendarItem> item = RRef<ROrvaneCalendarItem>::Adopt(new (std::nothrow) ROrvaneCalendarItem);
    if (!item) return R_OK;
    (void)item->CreateNew(dataManager_.get(), account, calendar);
    if (editEntry_) editEntry_(item.get());
    return R_OK;
}

unsigned ROrvaneMonthView::ShowContextMenu(int screenX, int screenY) {
    return platform::ui::ShowContextMenu(kEditMenu, QPoint(screenX, screenY), host_.data(), nullptr);
}
