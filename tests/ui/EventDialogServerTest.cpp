// The event dialog against Radicale: a summary edit, the three scopes from a later occurrence
// (an exception, a split, the whole series moved relative to the occurrence), the first
// occurrence counting as the whole series, a 412 reported and the server's copy fetched again,
// deletions of one occurrence (also a changed one) and of a whole event, and a failed delete
// reported.
#include <gtest/gtest.h>

#include "platform/ui/CommandIds.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "sync/ROrvaneCalendarItem.h"
#include "tests/ui/support/AppFixture.h"
#include "tests/ui/support/EventDialogDriver.h"
#include "ui/event/RApplyChangesDialog.h"

using namespace orvane::test;
using namespace platform::ui;

namespace {

class EventDialogServer : public ServerAppFixture {
protected:
    void SetUp() override {
        ServerAppFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        path = NewCalendar("Work");
        ASSERT_EQ(201, Put(path + "series.ics",
                           CalendarText("series", "Stand-up", "20260302T093000", "20260302T094500",
                                        "RRULE:FREQ=WEEKLY;COUNT=5\r\n")));
        ASSERT_EQ(201, Put(path + "single.ics", CalendarText("single", "Dentist", "20260304T140000", "20260304T150000")));
        StartApp();
        account = AddServerAccount();
        ASSERT_TRUE(account);
        // The user's other collections on the suite's server are listed too: this test's is found by path.
        for (const RRef<ROrvaneCalendar>& listed : account->Calendars()) {
            if (std::string(listed->GetServerPath().GetString()) == path) calendar = listed;
        }
        ASSERT_TRUE(calendar);
    }
    RRef<ROrvaneCalendarItem> Item(const char* uid, int occurrenceDay = 0) {
        CalendarItemRecord record;
        EXPECT_EQ(R_OK, app->DataManager()->FindCalendarItem(uid, "", calendar->GetGuid(), account->GetGuid(), &record));
        auto item = RRef<ROrvaneCalendarItem>::Adopt(new ROrvaneCalendarItem);
        EXPECT_EQ(R_OK, item->InitFromRecord(app->DataManager(), account.get(), record));
        if (occurrenceDay != 0) {
            RDateTime start{2026, 3, static_cast<std::uint16_t>(occurrenceDay), 9, 30, 0, 0};
            RDateTime end{2026, 3, static_cast<std::uint16_t>(occurrenceDay), 9, 45, 0, 0};
            item->SetOccurrenceStart(&start);
            item->SetOccurrenceEnd(&end);
        }
        return item;
    }
    // The stored exception row of the series for one changed occurrence, as the month view opens it.
    RRef<ROrvaneCalendarItem> Exception(const char* recurrenceId) {
        CalendarItemRecord record;
        EXPECT_EQ(R_OK, app->DataManager()->FindCalendarItem("series", recurrenceId, calendar->GetGuid(),
                                                              account->GetGuid(), &record));
        auto item = RRef<ROrvaneCalendarItem>::Adopt(new ROrvaneCalendarItem);
        EXPECT_EQ(R_OK, item->InitFromRecord(app->DataManager(), account.get(), record));
        return item;
    }
    // Opens the dialog on the item; `change` edits the controls before OK; `scope` answers the
    // scope question when it is not 0.
    void Edit(ROrvaneCalendarItem* item, const std::function<void(QDialog&)>& change, int scope = 0) {
        responders->Add([change](QDialog& dialog) {
            change(dialog);
            ClickOk(dialog);
        });
        if (scope != 0) responders->AddResult(scope);
        app->EditDialog().EditItem(item);
    }
    void DeleteInDialog(ROrvaneCalendarItem* item, int scope = 0) {
        responders->Add([](QDialog& dialog) { EventControl<QPushButton>(dialog, REditEventDialog::kDelete)->click(); });
        if (scope != 0) responders->AddResult(scope);
        app->EditDialog().EditItem(item);
    }
    int ResourceCount() { return app->DataManager()->GetCalendarItemCount(calendar->GetGuid(), account->GetGuid()); }

    std::string path;
    RRef<ROrvaneAccount> account;
    RRef<ROrvaneCalendar> calendar;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_F(EventDialogServer, ASummaryEditReachesTheServer) {
    RRef<ROrvaneCalendarItem> item = Item("single");
    Edit(item.get(), [](QDialog& dialog) { SetSummary(dialog, "Dentist, moved; really\\"); });
    const std::string stored = Fetch(path + "single.ics");
    EXPECT_TRUE(Has(stored, "SUMMARY:Dentist\\, moved\\; really\\\\")) << stored;
    EXPECT_TRUE(Has(stored, "DTSTART:20260304T140000")) << stored;
    EXPECT_EQ(responders->Unanswered(), 0);
}

TEST_F(EventDialogServer, NewEventCreatesTheEventInTheDefaultCalendar) {
    responders->Add([](QDialog& dialog) {
        SetSummary(dialog, "Created here");
        auto* allDay = EventControl<QCheckBox>(dialog, REditEventDialog::kAllDay);
        if (allDay->isChecked()) allDay->click();  // a timed event
        EventControl<QTimeEdit>(dialog, REditEventDialog::kStartTime)->setTime(QTime(13, 0));
        ClickOk(dialog);
    });
    ASSERT_TRUE(Run(platform::ui::ID_NEW_EVENT));
    ROrvaneCalendarItem* made = app->EditDialog().Item();
    ASSERT_NE(made, nullptr);
    ASSERT_NE(made->GetCalendar(), nullptr);
    const std::string where = std::string(made->GetCalendar()->GetServerPath().GetString()) +
                              std::string(made->GetServerFileName().GetString());
    const std::string stored = Fetch(where);
    EXPECT_TRUE(Has(stored, "SUMMARY:Created here")) << where << "\n" << stored;
    EXPECT_TRUE(Has(stored, "T130000")) << stored;
    EXPECT_EQ(responders->Unanswered(), 0);
}

TEST_F(EventDialogServer, OnlyThisOccurrenceMakesAnException) {
    RRef<ROrvaneCalendarItem> item = Item("series", 16);
    Edit(item.get(), [](QDialog& dialog) { SetSummary(dialog, "Stand-up (long)"); }, RApplyChangesDialog::kThisInstance);
    const std::string stored = Fetch(path + "series.ics");
    EXPECT_TRUE(Has(stored, "RECURRENCE-ID:20260316T093000")) << stored;
    EXPECT_TRUE(Has(stored, "SUMMARY:Stand-up (long)")) << stored;
    EXPECT_TRUE(Has(stored, "SUMMARY:Stand-up\r\n")) << stored;
    EXPECT_TRUE(Has(stored, "DTSTART:20260302T093000")) << stored;
}

TEST_F(EventDialogServer, ThisAndFutureSplitsTheSeries) {
    RRef<ROrvaneCalendarItem> item = Item("series", 16);
    Edit(item.get(), [](QDialog& dialog) { SetSummary(dialog, "Sync"); }, RApplyChangesDialog::kAllFuture);
    const std::string earlier = Fetch(path + "series.ics");
    EXPECT_TRUE(Has(earlier, "UNTIL=")) << earlier;
    EXPECT_TRUE(Has(earlier, "SUMMARY:Stand-up")) << earlier;
    ROrvaneCalendarItem* continuation = app->EditDialog().Item();
    ASSERT_NE(continuation, item.get());
    const std::string later = Fetch(path + std::string(continuation->GetServerFileName().GetString()));
    EXPECT_TRUE(Has(later, "SUMMARY:Sync")) << later;
    EXPECT_TRUE(Has(later, "DTSTART:20260316T093000")) << later;
}

TEST_F(EventDialogServer, AllFromALaterOccurrenceMovesTheSeriesByTheChangeOnly) {
    RRef<ROrvaneCalendarItem> item = Item("series", 16);
    // Pickers left alone: the series keeps its start.
    Edit(item.get(), [](QDialog& dialog) { SetSummary(dialog, "Daily stand-up"); }, RApplyChangesDialog::kAllInstances);
    std::string stored = Fetch(path + "series.ics");
    EXPECT_TRUE(Has(stored, "SUMMARY:Daily stand-up")) << stored;
    EXPECT_TRUE(Has(stored, "DTSTART:20260302T093000")) << stored;
    EXPECT_TRUE(Has(stored, "COUNT=5")) << stored;

    // An hour later on the third occurrence moves every occurrence by an hour, from the first on.
    item = Item("series", 16);
    Edit(
        item.get(),
        [](QDialog& dialog) {
            EventControl<QTimeEdit>(dialog, REditEventDialog::kStartTime)->setTime(QTime(10, 30));
        },
        RApplyChangesDialog::kAllInstances);
    stored = Fetch(path + "series.ics");
    EXPECT_TRUE(Has(stored, "DTSTART:20260302T103000")) << stored;
    EXPECT_TRUE(Has(stored, "DTEND:20260302T104500")) << stored;
    EXPECT_EQ(ResourceCount(), 2);
}

TEST_F(EventDialogServer, TheFirstOccurrenceWithThisAndFutureChangesTheWholeSeries) {
    RRef<ROrvaneCalendarItem> item = Item("series", 2);
    Edit(item.get(), [](QDialog& dialog) { SetSummary(dialog, "Renamed"); }, RApplyChangesDialog::kAllFuture);
    EXPECT_EQ(app->EditDialog().Item(), item.get());  // no split
    const std::string stored = Fetch(path + "series.ics");
    EXPECT_TRUE(Has(stored, "SUMMARY:Renamed")) << stored;
    EXPECT_FALSE(Has(stored, "UNTIL=")) << stored;
    EXPECT_EQ(ResourceCount(), 2);
}

TEST_F(EventDialogServer, ANewRepeatRuleWithAnEndIsWrittenAsTheDialogBuildsIt) {
    RRef<ROrvaneCalendarItem> item = Item("single");
    Edit(item.get(), [](QDialog& dialog) {
        ChooseRepeat(dialog, REditEventDialog::kRepeatWeekly);
        EventControl<QCheckBox>(dialog, REditEventDialog::kUntilBox)->click();
        EventControl<QDateEdit>(dialog, REditEventDialog::kUntilDate)->setDate(QDate(2026, 3, 31));
    });
    EXPECT_TRUE(Has(Fetch(path + "single.ics"), "RRULE:FREQ=WEEKLY;UNTIL=20260331T235959"));
    // "None" then ends the repetition (the event repeats now, so the scope is asked).
    item = Item("single");
    Edit(
        item.get(), [](QDialog& dialog) { ChooseRepeat(dialog, REditEventDialog::kRepeatNone); },
        RApplyChangesDialog::kAllInstances);
    EXPECT_FALSE(Has(Fetch(path + "single.ics"), "RRULE"));
}

TEST_F(EventDialogServer, CustomKeepsTheStoredRuleAndTheUntilBoxReplacesOnlyItsEnd) {
    RRef<ROrvaneCalendarItem> item = Item("series", 2);
    Edit(
        item.get(),
        [](QDialog& dialog) {
            ChooseRepeat(dialog, REditEventDialog::kRepeatCustom);
            SetSummary(dialog, "Custom kept");
        },
        RApplyChangesDialog::kAllInstances);
    std::string stored = Fetch(path + "series.ics");
    EXPECT_TRUE(Has(stored, "RRULE:FREQ=WEEKLY;COUNT=5")) << stored;

    // Unticking the series end without a repeat choice keeps the rule, without an end.
    item = Item("series", 2);
    Edit(
        item.get(), [](QDialog& dialog) { EventControl<QCheckBox>(dialog, REditEventDialog::kUntilBox)->click(); },
        RApplyChangesDialog::kAllInstances);
    stored = Fetch(path + "series.ics");
    EXPECT_TRUE(Has(stored, "RRULE:FREQ=WEEKLY\r\n")) << stored;
    EXPECT_TRUE(Has(stored, "SUMMARY:Custom kept")) << stored;
}

TEST_F(EventDialogServer, APreconditionFailureIsReportedAndTheServersCopyComesBack) {
    RRef<ROrvaneCalendarItem> item = Item("single");
    // Another client changes the event after this program stored it.
    const int replaced = Put(path + "single.ics", CalendarText("single", "Theirs", "20260304T140000", "20260304T150000"));
    ASSERT_TRUE(replaced == 201 || replaced == 204) << replaced;
    RResult reported = 0;
    responders->Add([](QDialog& dialog) {
        SetSummary(dialog, "Mine");
        ClickOk(dialog);
    });
    responders->Add([&reported, this](QDialog& dialog) {
        reported = app->ErrorDialog().Code();
        dialog.done(IDOK);
    });
    app->EditDialog().EditItem(item.get());
    EXPECT_EQ(reported, 412);
    EXPECT_TRUE(Has(Fetch(path + "single.ics"), "SUMMARY:Theirs"));
    CalendarItemRecord record;
    ASSERT_EQ(R_OK, app->DataManager()->FindCalendarItem("single", "", calendar->GetGuid(), account->GetGuid(), &record));
    EXPECT_EQ(std::string(record.summary.GetString()), "Theirs");
}

TEST_F(EventDialogServer, DeletesRemoveOneOccurrenceOrTheWholeEventAndFailuresAreReported) {
    DeleteInDialog(Item("series", 16).get(), RApplyChangesDialog::kThisInstance);
    EXPECT_TRUE(Has(Fetch(path + "series.ics"), "EXDATE"));

    DeleteInDialog(Item("single").get());
    EXPECT_EQ(Fetch(path + "single.ics"), "");
    EXPECT_EQ(app->ErrorDialog().Code(), 0);

    // Gone from the server behind the program's back: the delete fails and says so.
    RRef<ROrvaneCalendarItem> series = Item("series");
    const int deleted = Delete(path + "series.ics");
    ASSERT_TRUE(deleted == 200 || deleted == 204) << deleted;
    RResult reported = 0;
    responders->Add([](QDialog& dialog) { EventControl<QPushButton>(dialog, REditEventDialog::kDelete)->click(); });
    responders->AddResult(RApplyChangesDialog::kAllInstances);
    responders->Add([&reported, this](QDialog& dialog) {
        reported = app->ErrorDialog().Code();
        dialog.done(IDOK);
    });
    app->EditDialog().EditItem(series.get());
    EXPECT_EQ(reported, 404);
}

TEST_F(EventDialogServer, DeletingAChangedOccurrenceAsksAndRemovesOnlyItOrTheWholeSeries) {
    Edit(Item("series", 16).get(), [](QDialog& dialog) { SetSummary(dialog, "Stand-up (late)"); },
         RApplyChangesDialog::kThisInstance);
    ASSERT_TRUE(Has(Fetch(path + "series.ics"), "RECURRENCE-ID:20260316T093000"));
    ASSERT_EQ(ResourceCount(), 3);

    // Only this: the exception goes and its occurrence is excluded from the series.
    DeleteInDialog(Exception("20260316T093000").get(), RApplyChangesDialog::kThisInstance);
    EXPECT_EQ(responders->Unanswered(), 0) << "the scope question was asked";
    std::string stored = Fetch(path + "series.ics");
    EXPECT_TRUE(Has(stored, "EXDATE:20260316T093000")) << stored;
    EXPECT_FALSE(Has(stored, "RECURRENCE-ID")) << stored;
    EXPECT_TRUE(Has(stored, "RRULE:FREQ=WEEKLY;COUNT=5")) << stored;
    EXPECT_EQ(ResourceCount(), 2);
    CalendarItemRecord master;
    ASSERT_EQ(R_OK, app->DataManager()->FindCalendarItem("series", "", calendar->GetGuid(), account->GetGuid(), &master));
    EXPECT_TRUE(Has(master.exDates.GetString(), "20260316T093000")) << master.exDates.GetString();

    // All: the series goes.
    Edit(Item("series", 23).get(), [](QDialog& dialog) { SetSummary(dialog, "Stand-up (short)"); },
         RApplyChangesDialog::kThisInstance);
    ASSERT_TRUE(Has(Fetch(path + "series.ics"), "RECURRENCE-ID:20260323T093000"));
    DeleteInDialog(Exception("20260323T093000").get(), RApplyChangesDialog::kAllInstances);
    EXPECT_EQ(responders->Unanswered(), 0);
    EXPECT_EQ(Fetch(path + "series.ics"), "");
    EXPECT_EQ(ResourceCount(), 1);
    EXPECT_EQ(app->ErrorDialog().Code(), 0);
}
