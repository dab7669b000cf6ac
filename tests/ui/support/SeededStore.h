#pragma once
// A real store in a temporary data folder with accounts, calendars and events written as
// iCalendar text and imported the way a refresh stores them, and the account manager over it.
#include <filesystem>
#include <string>

#include "foundation/memory/RRef.h"
#include "store/ROrvaneDataManager.h"
#include "tests/support/TempFolder.h"

class ROrvaneAccountManager;

namespace orvane::test {

class SeededStore {
public:
    SeededStore();
    // A store in the given data folder (made when missing) instead of a temporary one.
    explicit SeededStore(const std::filesystem::path& dataFolder);
    ~SeededStore();


    void AddAccount(const char* guid, const char* description, bool enabled = true);
    void AddCalendar(const char* account, const char* guid, const char* name, int order, const char* colour,
                     bool enabled = true, const char* resourceType = "collection,calendar");
    // Imports the events (VEVENT blocks, with VTIMEZONEs when needed) into the calendar.
    void Import(const char* account, const char* calendar, const std::string& events, const char* fileName);
    // Makes a calendar a subscription to `url`, last downloaded at `lastRefreshed` (stored text).
    void SetSubscription(const char* account, const char* calendar, const char* url, const char* lastRefreshed);
    // Closes the store (for a program that opens the same folder next).
    void Close();
    // The account manager with every stored account loaded (made on first call).
    ROrvaneAccountManager* Accounts();

    ROrvaneDataManager* Store() { return store_.get(); }
    const std::filesystem::path& DataFolder() const { return dataFolder_; }

private:
    TempFolder folder_;
    std::filesystem::path dataFolder_;
    RRef<ROrvaneDataManager> store_;
    RRef<ROrvaneAccountManager> accounts_;
};

// One VEVENT; `times` holds the DTSTART/DTEND lines (CR LF each), `extra` further lines.
std::string Event(const std::string& uid, const std::string& summary, const std::string& times,
                  const std::string& extra = "");

}  // namespace orvane::test
