#include "tests/ui/support/SeededStore.h"

#include <gtest/gtest.h>

#include <chrono>

#include "ical/model/RIcsCalendar.h"
#include "sync/ROrvaneAccountManager.h"

namespace orvane::test {

SeededStore::SeededStore() : folder_("orvane-ui-store") {
    dataFolder_ = folder_.Path() / "BrenmoorTech" / "Orvane";
    store_ = RRef<ROrvaneDataManager>::Adopt(new ROrvaneDataManager);
    EXPECT_EQ(R_OK, store_->Open(CStringW::FromUtf8(dataFolder_.string())));
}

SeededStore::SeededStore(const std::filesystem::path& dataFolder) : folder_("orvane-ui-unused"), dataFolder_(dataFolder) {
    std::filesystem::create_directories(dataFolder_);
    store_ = RRef<ROrvaneDataManager>::Adopt(new ROrvaneDataManager);
    EXPECT_EQ(R_OK, store_->Open(CStringW::FromUtf8(dataFolder_.string())));
}

void SeededStore::SetSubscription(const char* account, const char* calendar, const char* url,
                                  const char* lastRefreshed) {
    CalendarRecord record;
    ASSERT_EQ(R_OK, store_->FindCalendar(account, calendar, &record));
    record.subscriptionURL = url;
    record.subscriptionLastRefreshed = lastRefreshed;
    ASSERT_EQ(R_OK, store_->UpdateCalendar(account, &record));
}

void SeededStore::Close() {
    if (accounts_) {
        (void)accounts_->StopAll(std::chrono::seconds(10));
        accounts_->ReleaseAll();
        accounts_ = nullptr;
    }
    store_ = nullptr;
}

SeededStore::~SeededStore() {
    if (accounts_) {
        (void)accounts_->StopAll(std::chrono::seconds(10));
        accounts_->ReleaseAll();
    }
}

void SeededStore::AddAccount(const char* guid, const char* description, bool enabled) {
    AccountRecord account;
    account.Clear();
    account.guid = guid;
    account.description = description;
    account.username = "me";
    account.password = "secret";
    account.refreshInterval = 0;
    account.address = "http://127.0.0.1:9/";
    account.enabled = enabled ? 1 : 0;
    EXPECT_EQ(R_OK, store_->AddAccount(&account));
}

void SeededStore::AddCalendar(const char* account, const char* guid, const char* name, int order, const char* colour,
                              bool enabled, const char* resourceType) {
    CalendarRecord calendar;
    calendar.Clear();
    calendar.guid = guid;
    calendar.displayName = name;
    calendar.calendarOrder = order;
    calendar.rgbValue = colour;
    calendar.enabled = enabled ? 1 : 0;
    calendar.resourceType = resourceType;
    calendar.supportedCalendarComponentSet = "VEVENT";
    calendar.pathURI = std::string("/dav/").append(guid).append("/").c_str();
    EXPECT_EQ(R_OK, store_->AddCalendar(account, &calendar));
}

void SeededStore::Import(const char* account, const char* calendar, const std::string& events, const char* fileName) {
    const std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tests//EN\r\n" + events + "END:VCALENDAR\r\n";
    RRef<RIcsCalendar> parsed = RRef<RIcsCalendar>::Adopt(new RIcsCalendar);
    ASSERT_EQ(R_OK, parsed->Parse(text.c_str()));
    ASSERT_EQ(R_OK, store_->ImportIcsCalendar(account, calendar, fileName, "", "\"1\"", parsed.get()));
}

ROrvaneAccountManager* SeededStore::Accounts() {
    if (!accounts_) {
        accounts_ = RRef<ROrvaneAccountManager>::Adopt(new ROrvaneAccountManager);
        EXPECT_EQ(R_OK, accounts_->Init(store_.get()));
        EXPECT_EQ(R_OK, accounts_->LoadAccounts());
    }
    return accounts_.get();
}

std::string Event(const std::string& uid, const std::string& summary, const std::string& times,
                  const std::string& extra) {
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20150101T000000Z\r\nSUMMARY:" + summary + "\r\n" + times +
           extra + "END:VEVENT\r\n";
}

}  // namespace orvane::test
