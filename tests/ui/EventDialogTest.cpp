// The event dialog over a real store, without a server: what it loads (times, zones, repeat
// text, series end, attendees with their states, line breaks), its handlers on the user's
// changes only, read-only calendars, Cancel in the scope question, and the rule texts it builds.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <functional>
#include <QTest>

#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "sync/ROrvaneCalendarItem.h"
#include "tests/ui/support/AppFixture.h"
#include "tests/ui/support/EventDialogDriver.h"
#include "ui/event/RApplyChangesDialog.h"
#include "ui/view/COrvaneView.h"

using namespace orvane::test;
using namespace platform::ui;

namespace {

class EventDialog : public AppFixture {
protected:
    void SetUp() override {
        seed.AddAccount("acc", "Home");
        seed.AddCalendar("acc", "cal", "Personal", 0, "#1565C0FF");
        seed.AddCalendar("acc", "ro", "Holidays", 1, "#2E7D32FF");
        seed.Import("acc", "cal",
                    Event("one", "Dentist <b>&</b> 100%",
                          "DTSTART:20260310T100000\r\nDTEND:20260310T110000\r\n",
                          "DESCRIPTION:first line\\nsecond line\r\n"
                          "ATTENDEE;CN=Cy:mailto:c@example.org\r\n"
                          "ATTENDEE;CN=Ann;PARTSTAT=ACCEPTED:mailto:a@example.org\r\n"
                          "ATTENDEE;CN=Bob;PARTSTAT=DECLINED:mailto:b@example.org\r\n") +
                        Event("series", "Stand-up", "DTSTART:20260302T093000\r\nDTEND:20260302T094500\r\n",
                              "RRULE:FREQ=WEEKLY;COUNT=5\r\n") +
                        Event("fortnight", "Review", "DTSTART:20260303T150000\r\nDTEND:20260303T160000\r\n",
                              "RRULE:FREQ=WEEKLY;INTERVAL=2\r\n"),
                    "items.ics");
        seed.Import("acc", "ro", Event("holiday", "Bank holiday", "DTSTART;VALUE=DATE:20260406\r\n"), "ro.ics");
        StartApp();
        RRef<ROrvaneCalendar> holidays = app->AccountManager()->FindAccountByGuid("acc")->FindCalendarByGuid("ro");
        ASSERT_TRUE(holidays);
        holidays->SetReadOnly(1);
    }
    RRef<ROrvaneCalendarItem> Item(const char* uid, const char* calendar = "cal") {
        CalendarItemRecord record;
        EXPECT_EQ(R_OK, app->DataManager()->FindCalendarItem(uid, "", calendar, "acc", &record));
        auto item = RRef<ROrvaneCalendarItem>::Adopt(new ROrvaneCalendarItem);
        EXPECT_EQ(R_OK, item->InitFromRecord(app->DataManager(), app->AccountManager()->FindAccountByGuid("acc").get(),
                                             record));
        return item;
    }
    CStringA StoredSummary(const char* uid, const char* calendar = "cal") {
        CalendarItemRecord record;
        EXPECT_EQ(R_OK, app->DataManager()->FindCalendarItem(uid, "", calendar, "acc", &record));
        return record.summary;
    }
};

QString Shown(QDialog& dialog, const char* date, const char* time) {
    return EventControl<QDateEdit>(dialog, date)->date().toString(Qt::ISODate) + " " +
           EventControl<QTimeEdit>(dialog, time)->time().toString("HH:mm");
}

}  // namespace

TEST_F(EventDialog, LoadsTheItemAsItStandsWithoutRunningHandlers) {
    RRef<ROrvaneCalendarItem> item = Item("one");
    QStringList attendees;
    QString summary, note, start, end, calendarText, repeat;
    bool zoned = true, allDay = true, untilShown = true, coverShown = false;
    responders->Add([&](QDialog& dialog) {
        summary = EventControl<QLineEdit>(dialog, REditEventDialog::kSummary)->text();
        note = EventControl<QPlainTextEdit>(dialog, REditEventDialog::kNote)->toPlainText();
        start = Shown(dialog, REditEventDialog::kStartDate, REditEventDialog::kStartTime);
        end = Shown(dialog, REditEventDialog::kEndDate, REditEventDialog::kEndTime);
        zoned = EventControl<QCheckBox>(dialog, REditEventDialog::kZoneBox)->isChecked();
        allDay = EventControl<QCheckBox>(dialog, REditEventDialog::kAllDay)->isChecked();
        auto* list = EventControl<QListWidget>(dialog, REditEventDialog::kAttendees);
        for (int i = 0; i < list->count(); ++i) attendees << list->item(i)->text();
        calendarText = EventControl<QComboBox>(dialog, REditEventDialog::kCalendar)->currentText();
        repeat = EventControl<QComboBox>(dialog, REditEventDialog::kRepeat)->currentText();
        untilShown = EventControl<QCheckBox>(dialog, REditEventDialog::kUntilBox)->isChecked();
        coverShown = !EventControl<QLineEdit>(dialog, REditEventDialog::kUntilCover)->isHidden();
        dialog.done(IDCANCEL);
    });
    EXPECT_EQ(app->EditDialog().EditItem(item.get()), 0);
    EXPECT_EQ(summary, "Dentist <b>&</b> 100%");
    EXPECT_EQ(note, "first line\nsecond line");  // no carriage returns in the box
    EXPECT_EQ(start, "2026-03-10 10:00");
    EXPECT_EQ(end, "2026-03-10 11:00");
    EXPECT_FALSE(zoned);
    EXPECT_FALSE(allDay);
    EXPECT_EQ(attendees, QStringList({"Ann", "Bob", "Cy"}));
    EXPECT_EQ(calendarText, "Personal");
    EXPECT_EQ(repeat, "");
    EXPECT_FALSE(untilShown);
    EXPECT_TRUE(coverShown);
    EXPECT_FALSE(item->IsModified());
    EXPECT_NEAR(app->EditDialog().DurationDays(), 1.0 / 24, 1e-9);
}

TEST_F(EventDialog, HandlersKeepTheLengthAndTheOrderOfStartAndEnd) {
    RRef<ROrvaneCalendarItem> item = Item("one");
    QString afterStartDate, afterEndTime, afterAllDay;
    bool timesEnabled = true;
    responders->Add([&](QDialog& dialog) {
        EventControl<QDateEdit>(dialog, REditEventDialog::kStartDate)->setDate(QDate(2026, 3, 12));
        afterStartDate = Shown(dialog, REditEventDialog::kEndDate, REditEventDialog::kEndTime);
        EventControl<QTimeEdit>(dialog, REditEventDialog::kEndTime)->setTime(QTime(9, 0));
        afterEndTime = Shown(dialog, REditEventDialog::kStartDate, REditEventDialog::kStartTime);
        dialog.done(IDCANCEL);
    });
    app->EditDialog().EditItem(item.get());
    EXPECT_EQ(afterStartDate, "2026-03-12 11:00");
    EXPECT_EQ(afterEndTime, "2026-03-11 09:00");  // the new end less one day, at the end's time

    QString afterMove;
    responders->Add([&](QDialog& dialog) {
        EventControl<QCheckBox>(dialog, REditEventDialog::kAllDay)->click();
        afterAllDay = Shown(dialog, REditEventDialog::kStartDate, REditEventDialog::kStartTime) + " - " +
                      Shown(dialog, REditEventDialog::kEndDate, REditEventDialog::kEndTime);
        timesEnabled = EventControl<QTimeEdit>(dialog, REditEventDialog::kStartTime)->isEnabled();
        // Moving the start of what is now an all-day event keeps a day's length, not the hour.
        EventControl<QDateEdit>(dialog, REditEventDialog::kStartDate)->setDate(QDate(2026, 3, 20));
        afterMove = Shown(dialog, REditEventDialog::kEndDate, REditEventDialog::kEndTime);
        dialog.done(IDCANCEL);
    });
    app->EditDialog().EditItem(item.get());
    EXPECT_EQ(afterAllDay, "2026-03-10 00:00 - 2026-03-11 00:00");
    EXPECT_EQ(afterMove, "2026-03-21 00:00");
    EXPECT_FALSE(timesEnabled);
    EXPECT_FALSE(item->IsModified());  // Cancel keeps the item as it was
}

TEST_F(EventDialog, RepeatTextAndSeriesEndComeFromTheRule) {
    QString weekly, fortnightly;
    QDate until;
    bool untilChecked = false, fortnightUntil = true;
    responders->Add([&](QDialog& dialog) {
        weekly = EventControl<QComboBox>(dialog, REditEventDialog::kRepeat)->currentText();
        untilChecked = EventControl<QCheckBox>(dialog, REditEventDialog::kUntilBox)->isChecked();
        until = EventControl<QDateEdit>(dialog, REditEventDialog::kUntilDate)->date();
        dialog.done(IDCANCEL);
    });
    app->EditDialog().EditItem(Item("series").get());
    responders->Add([&](QDialog& dialog) {
        fortnightly = EventControl<QComboBox>(dialog, REditEventDialog::kRepeat)->currentText();
        fortnightUntil = EventControl<QCheckBox>(dialog, REditEventDialog::kUntilBox)->isChecked();
        dialog.done(IDCANCEL);
    });
    app->EditDialog().EditItem(Item("fortnight").get());
    EXPECT_EQ(weekly, "Weekly");
    EXPECT_TRUE(untilChecked);
    EXPECT_EQ(until, QDate(2026, 3, 30));  // the fifth Monday
    EXPECT_EQ(fortnightly, "Weekly - Custom");
    EXPECT_FALSE(fortnightUntil);
}

TEST_F(EventDialog, AReadOnlyCalendarOpensDisabledAndOkSavesNothing) {
    RRef<ROrvaneCalendarItem> item = Item("holiday", "ro");
    int enabledInputs = 0;
    bool deleteEnabled = true;
    responders->Add([&](QDialog& dialog) {
        for (const char* name : {REditEventDialog::kSummary, REditEventDialog::kLocation, REditEventDialog::kUrl}) {
            enabledInputs += EventControl<QLineEdit>(dialog, name)->isEnabled();
        }
        for (const char* name : {REditEventDialog::kRepeat, REditEventDialog::kCalendar, REditEventDialog::kStartZone}) {
            enabledInputs += EventControl<QComboBox>(dialog, name)->isEnabled();
        }
        enabledInputs += EventControl<QPlainTextEdit>(dialog, REditEventDialog::kNote)->isEnabled();
        enabledInputs += EventControl<QDateEdit>(dialog, REditEventDialog::kStartDate)->isEnabled();
        deleteEnabled = EventControl<QPushButton>(dialog, REditEventDialog::kDelete)->isEnabled();
        SetSummary(dialog, "Changed");
        ClickOk(dialog);
    });
    app->EditDialog().EditItem(item.get());
    EXPECT_EQ(enabledInputs, 0);
    EXPECT_FALSE(deleteEnabled);
    EXPECT_FALSE(item->IsModified());
    EXPECT_EQ(StoredSummary("holiday", "ro"), "Bank holiday");
    EXPECT_EQ(responders->Runs(), 1);  // no scope question, no error report
}

TEST_F(EventDialog, AnEventOfAReadOnlyCalendarOffersNoDelete) {
    auto deleteOffered = [this](ROrvaneCalendarItem& item) {
        bool offered = false;
        responders->Add([&offered](QDialog& dialog) {
            offered = EventControl<QPushButton>(dialog, REditEventDialog::kDelete)->isVisibleTo(&dialog);
            dialog.done(IDCANCEL);
        });
        app->EditDialog().EditItem(&item);
        return offered;
    };
    EXPECT_FALSE(deleteOffered(*Item("holiday", "ro")));
    EXPECT_TRUE(deleteOffered(*Item("one")));
}

TEST_F(EventDialog, CancelInTheScopeQuestionChangesNothing) {
    RRef<ROrvaneCalendarItem> item = Item("series");
    RDateTime third{2026, 3, 16, 9, 30, 0, 0};
    item->SetOccurrenceStart(&third);
    const int rowsBefore = app->DataManager()->GetCalendarItemCount("cal", "acc");
    const int reloads = app->GetView(0)->MonthView()->QueryCount();
    responders->Add([](QDialog& dialog) {
        SetSummary(dialog, "Changed");
        ChooseRepeat(dialog, REditEventDialog::kRepeatDaily);
        ClickOk(dialog);
    });
    responders->AddResult(RApplyChangesDialog::kCancel);
    app->EditDialog().EditItem(item.get());
    EXPECT_EQ(responders->Runs(), 2);
    EXPECT_EQ(app->EditDialog().Item(), item.get());
    EXPECT_FALSE(item->IsModified());
    EXPECT_EQ(std::string(item->GetRRule().GetString()), "FREQ=WEEKLY;COUNT=5");
    EXPECT_EQ(app->DataManager()->GetCalendarItemCount("cal", "acc"), rowsBefore);
    EXPECT_EQ(StoredSummary("series"), "Stand-up");
    Settle();
    EXPECT_EQ(app->GetView(0)->MonthView()->QueryCount(), reloads);  // nothing was posted to the view
}

TEST_F(EventDialog, ATypedZoneIsFoundAsAReceivedOneAndTextNamingNoZoneIsRefused) {
    // Nothing is attached to a server here, so the upload fails (and is reported); the item keeps
    // what the dialog wrote into it.
    auto type = [](QDialog& dialog, const char* list, const QString& text) {
        QLineEdit* line = EventControl<QComboBox>(dialog, list)->lineEdit();
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        if (!text.isEmpty()) QTest::keyClicks(line, text);
    };
    RRef<ROrvaneCalendarItem> item = Item("one");
    bool savedAfterRefusal = true, stayedOpen = false;
    QString refusal;
    responders->Add([&](QDialog& dialog) {
        EventControl<QCheckBox>(dialog, REditEventDialog::kZoneBox)->click();
        type(dialog, REditEventDialog::kStartZone, "Asia/Tokyo");
        type(dialog, REditEventDialog::kEndZone, "Mars/Olympus");
        ClickOk(dialog);
        savedAfterRefusal = item->IsModified();
        stayedOpen = dialog.isVisible();
        // The end list emptied follows the start list.
        type(dialog, REditEventDialog::kEndZone, "");
        ClickOk(dialog);
    });
    responders->Add([&refusal](QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) refusal = box->text();
        SaveTestPicture(dialog.grab().toImage(), "event-dialog-unknown-zone");
        dialog.done(IDOK);
    });
    responders->AddResult(IDOK);  // the report of the failed upload
    app->EditDialog().EditItem(item.get());
    EXPECT_TRUE(refusal.contains("Mars/Olympus")) << refusal.toStdString();
    EXPECT_FALSE(savedAfterRefusal);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(std::string(item->GetDTStart()->tzid), "Tokyo Standard Time");
    EXPECT_EQ(std::string(item->GetDTEnd()->tzid), "Tokyo Standard Time");

    // A chosen entry gives its zone; a zone list key typed in other letters is the key itself.
    CStringW key, olson, display;
    int position = 0;
    for (;; ++position) {
        ASSERT_EQ(GetTimeZoneAt(position, &key, &olson, &display, nullptr), R_OK);
        if (!olson.IsEmpty()) break;
    }
    item = Item("one");
    responders->Add([&](QDialog& dialog) {
        EventControl<QCheckBox>(dialog, REditEventDialog::kZoneBox)->click();
        auto* list = EventControl<QComboBox>(dialog, REditEventDialog::kStartZone);
        const int entry = list->findText(ToQString(display));
        list->setCurrentIndex(entry);
        emit list->activated(entry);
        type(dialog, REditEventDialog::kEndZone, "tokyo standard time");
        ClickOk(dialog);
    });
    responders->AddResult(IDOK);
    app->EditDialog().EditItem(item.get());
    const std::string start = item->GetDTStart()->tzid;
    EXPECT_TRUE(start == std::string(olson.ToUtf8().GetString()) || start == std::string(key.ToUtf8().GetString()))
        << start;
    EXPECT_EQ(std::string(item->GetDTEnd()->tzid), "Tokyo Standard Time");
    EXPECT_NE(app->ErrorDialog().Code(), 0);
    EXPECT_EQ(responders->Unanswered(), 0);
}

TEST_F(EventDialog, AZonedSeriesEndShowsInItsZoneAndIsKeptOrChangedAsTheUserLeavesIt) {
    // A weekly New York series that ends on 30 April, its UNTIL written as the dialog writes it.
    seed.Import("acc", "cal",
                Event("ny", "Call", "DTSTART;TZID=America/New_York:20150302T100000\r\n"
                                    "DTEND;TZID=America/New_York:20150302T110000\r\n",
                      "RRULE:FREQ=WEEKLY;UNTIL=20150501T035959Z\r\n"),
                "ny.ics");
    // Nothing is attached to a server here: an upload fails and is reported, and the item keeps
    // the rule the dialog wrote into it.
    auto edit = [this](const std::function<void(QDialog&)>& change, bool uploaded) {
        RRef<ROrvaneCalendarItem> item = Item("ny");
        responders->Add([&change](QDialog& dialog) {
            change(dialog);
            ClickOk(dialog);
        });
        responders->AddResult(RApplyChangesDialog::kAllInstances);
        if (uploaded) responders->AddResult(IDOK);
        app->EditDialog().EditItem(item.get());
        EXPECT_EQ(responders->Unanswered(), 0);
        return std::string(item->GetRRule().GetString());
    };
    QDate shown;
    // The repeat list touched, the end left alone: the rule keeps the end it had, and so there
    // is nothing to upload.
    EXPECT_EQ(edit(
                  [&shown](QDialog& dialog) {
                      shown = EventControl<QDateEdit>(dialog, REditEventDialog::kUntilDate)->date();
                      ChooseRepeat(dialog, REditEventDialog::kRepeatWeekly);
                  },
                  false),
              "FREQ=WEEKLY;UNTIL=20150501T035959Z");
    EXPECT_EQ(shown, QDate(2015, 4, 30));
    // Only the until date changed: the series ends when that day ends in New York.
    EXPECT_EQ(edit(
                  [](QDialog& dialog) {
                      EventControl<QDateEdit>(dialog, REditEventDialog::kUntilDate)->setDate(QDate(2015, 4, 20));
                  },
                  true),
              "FREQ=WEEKLY;UNTIL=20150421T035959Z");
}

TEST(EventRuleTexts, RepeatDescriptionsByFrequencyAndInterval) {
    auto describe = [](const char* rule) {
        RRef<RIcsRecurrence> parsed = RRef<RIcsRecurrence>::Adopt(new RIcsRecurrence);
        EXPECT_EQ(parsed->Parse(rule), 0);
        return REditEventDialog::RepeatDescription(parsed.get());
    };
    EXPECT_EQ(REditEventDialog::RepeatDescription(nullptr), "");
    EXPECT_EQ(describe("FREQ=DAILY"), "Daily");
    EXPECT_EQ(describe("FREQ=WEEKLY;INTERVAL=2"), "Weekly - Custom");
    EXPECT_EQ(describe("FREQ=MONTHLY;INTERVAL=1"), "Monthly");
    EXPECT_EQ(describe("FREQ=YEARLY;INTERVAL=3;BYMONTH=4"), "Yearly - Custom");
    EXPECT_EQ(describe("FREQ=HOURLY"), "Custom");
}

TEST(EventRuleTexts, UntilIsTheDayForDatesTheLastSecondForFloatingAndAnInstantForZones) {
    RRef<RIcsDateTime> start = RRef<RIcsDateTime>::Adopt(new RIcsDateTime);
    ASSERT_EQ(start->SetFromIcs(nullptr, "20150302"), 0);
    EXPECT_EQ(std::string(REditEventDialog::UntilValue(*start, QDate(2015, 3, 31), CStringW()).GetString()), "20150331");
    ASSERT_EQ(start->SetFromIcs(nullptr, "20150302T100000"), 0);
    EXPECT_EQ(std::string(REditEventDialog::UntilValue(*start, QDate(2015, 3, 31), CStringW()).GetString()),
              "20150331T235959");
    // Berlin keeps summer time on 31 March 2015 (UTC+2), New York on 31 January is UTC-5.
    ASSERT_EQ(start->SetFromIcs("Europe/Berlin", "20150302T100000"), 0);
    EXPECT_EQ(std::string(REditEventDialog::UntilValue(*start, QDate(2015, 3, 31), CStringW()).GetString()),
              "20150331T215959Z");
    ASSERT_EQ(start->SetFromIcs("America/New_York", "20150102T100000"), 0);
    EXPECT_EQ(std::string(REditEventDialog::UntilValue(*start, QDate(2015, 1, 31), CStringW()).GetString()),
              "20150201T045959Z");
    // A UTC series ends when the day ends in the display zone.
    start = RRef<RIcsDateTime>::Adopt(new RIcsDateTime);
    ASSERT_EQ(start->SetFromIcs("Z", "20150102T100000"), 0);
    EXPECT_EQ(std::string(REditEventDialog::UntilValue(*start, QDate(2015, 1, 31), CStringW(u"Asia/Tokyo")).GetString()),
              "20150131T145959Z");
}

TEST(EventRuleTexts, ReplacingTheEndKeepsEveryOtherPart) {
    EXPECT_EQ(std::string(REditEventDialog::ReplaceRuleEnd("FREQ=WEEKLY;COUNT=5;BYDAY=MO,WE", "20150331T235959").GetString()),
              "FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20150331T235959");
    EXPECT_EQ(std::string(REditEventDialog::ReplaceRuleEnd("FREQ=DAILY;UNTIL=20150101;INTERVAL=3", "").GetString()),
              "FREQ=DAILY;INTERVAL=3");
    EXPECT_EQ(std::string(REditEventDialog::ReplaceRuleEnd("", "20150331").GetString()), "");
}
