#pragma once
// The dialog in which the user creates, changes and deletes one event. The object lasts (one
// per month view) and keeps the item, its recurrence rule and its length between edits; the
// window and its controls are built anew for each EditItem. On OK the controls are written
// back through the item model: for a repeating event after asking for the scope (only this
// occurrence, this and the following ones, the whole series), then uploaded; a failure is
// reported through the application's error dialog, and the main view is told that data changed.
//
// Loading the controls runs with their signals blocked; the handlers run on the user's changes
// only.
//
// UI thread only.
#include <QDate>
#include <QDateTime>
#include <QString>

#include "foundation/ResultCodes.h"
#include "foundation/datetime/RDateTime.h"
#include "foundation/memory/RRef.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "platform/string/CString.h"
#include "sync/ROrvaneCalendarItem.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDialog;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;
class QWidget;

class REditEventDialog {
public:
    // The repeat list's entries; each entry's value is its id.
    static constexpr int kRepeatNone = 2050;
    static constexpr int kRepeatDaily = 2051;
    static constexpr int kRepeatWeekly = 2052;
    static constexpr int kRepeatMonthly = 2053;
    static constexpr int kRepeatYearly = 2054;
    static constexpr int kRepeatCustom = 2055;
    // A zone list entry's value: this plus the zone's position in the zone list.
    static constexpr int kZoneValueBase = 13001;
    // What the dialog ends with after Delete.
    static constexpr int kDeleted = 1023;

    // Object names of the controls, for tests that drive a shown dialog.
    static constexpr const char* kSummary = "summary";
    static constexpr const char* kLocation = "location";
    static constexpr const char* kAllDay = "allDay";
    static constexpr const char* kStartDate = "startDate";
    static constexpr const char* kStartTime = "startTime";
    static constexpr const char* kEndDate = "endDate";
    static constexpr const char* kEndTime = "endTime";
    static constexpr const char* kZoneBox = "timeZone";
    static constexpr const char* kStartZone = "startZone";
    static constexpr const char* kEndZone = "endZone";
    static constexpr const char* kRepeat = "repeat";
    static constexpr const char* kUntilBox = "until";
    static constexpr const char* kUntilDate = "untilDate";
    static constexpr const char* kUntilCover = "untilCover";
    static constexpr const char* kAttendees = "attendees";
    static constexpr const char* kCalendar = "calendar";
    static constexpr const char* kUrl = "url";
    static constexpr const char* kNote = "note";
    static constexpr const char* kDelete = "delete";

    REditEventDialog();
    virtual ~REditEventDialog();
    REditEventDialog(const REditEventDialog&) = delete;
    REditEventDialog& operator=(const REditEventDialog&) = delete;

    // Holds `item` (a different item replaces the held one and its rule) and runs the dialog
    // modally over `parent`. Always 0.
    int EditItem(ROrvaneCalendarItem* item, QWidget* parent = nullptr);
    // The scope question: 1 this instance, 1024 this and future, 1023 all, 2 cancel.
    virtual int RunApplyChangesDialog();

    ROrvaneCalendarItem* Item() const { return item_.get(); }
    double DurationDays() const { return durationDays_; }

    // The repeat list's text for a rule: empty without one; "Daily", "Weekly", "Monthly" or
    // "Yearly" for those frequencies (followed by " - Custom" when the interval is 2 or more);
    // "Custom" for any other.
    static QString RepeatDescription(RIcsRecurrence* rule);
    // A stored rule with its end replaced: UNTIL and COUNT dropped, then ";UNTIL=<until>" when
    // `until` is not empty.
    static CStringA ReplaceRuleEnd(const CStringA& rule, const CStringA& until);
    // The UNTIL value of a series starting at `seriesStart` that ends on `day`: the date alone
    // for a date-only series, 23:59:59 of that day for a floating one, and the UTC instant of
    // 23:59:59 local time ("...Z") for one with a zone (a UTC series: of `displayZone`).
    static CStringA UntilValue(const RIcsDateTime& seriesStart, const QDate& day, const CStringW& displayZone);
    // The day a series ends on, in the zone its UNTIL is written for: a UTC instant is read in
    // the series' zone (a UTC series: in `displayZone`); other values give their own date.
    static QDate UntilDay(const RIcsDateTime& seriesStart, const RIcsDateTime& last, const CStringW& displayZone);

private:
    struct Controls;

    void BuildWindow(QDialog& dialog);
    void FillTimeZoneCombo(QComboBox* list);
    void FillCalendarCombo(QComboBox* list);
    void FillRepeatCombo(QComboBox* list);
    void LoadItemIntoControls();
    // True when something was saved (and the view told).
    bool SaveControlsToItem();
    void DeleteItem();
    CStringA BuildRRule();
    // A new value (count 1) from one side's controls.
    RRef<RIcsDateTime> BuildDateTimeFromControls(QComboBox* zoneList, QDateEdit* datePicker, QTimeEdit* timePicker);
    // The TZID one zone list gives: its chosen entry's zone, the text it was loaded with, or the
    // zone that typed text names (an empty end list follows the start list). False when the
    // typed text names no zone.
    bool ZoneListTzid(QComboBox* zoneList, CStringA* tzid);
    // The TZID written for a zone of the zone list.
    CStringA TzidForZoneKey(const CStringW& zoneKey);
    // False, after telling the user, when a zone list holds text that names no zone.
    bool ZonesAreKnown();
    // The value to store for one side: unchanged controls keep `stored`; for a whole series
    // edited from a later occurrence the change is applied relative to that occurrence.
    RRef<RIcsDateTime> SideToStore(const RRef<RIcsDateTime>& built, const RIcsDateTime* stored,
                                   const RIcsDateTime& shown, bool relative);
    void ReportFailure(RResult code, ROrvaneCalendarItem* item);
    void PostDataChanged();

    void OnAllDayClicked();
    void OnStartDateChanged();
    void OnStartTimeChanged();
    void OnEndChanged();
    void OnTimeZoneClicked();
    void OnStartZoneChanged();
    void OnEndZoneChanged();
    void OnRepeatChanged();
    void OnUntilClicked();
    void OnUntilDateChanged();
    void OnDelete();

    RRef<ROrvaneCalendarItem> item_;
    RRef<RIcsRecurrence> recurrence_;
    double durationDays_ = 0;
    bool repeatChanged_ = false;
    bool untilChanged_ = false;
    // What the pickers showed when the window opened (display zone applied), per side.
    RRef<RIcsDateTime> shownStart_;
    RRef<RIcsDateTime> shownEnd_;
    // The series end as the until picker showed it when the window opened, and the rule's
    // UNTIL text it came from: while the picker keeps that day, the rule keeps that text.
    QDate shownUntil_;
    CStringA readUntil_;
    Controls* controls_ = nullptr;  // valid during one modal run
};
