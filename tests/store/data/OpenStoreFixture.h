#pragma once
// A store opened on a fresh data folder, with helpers that add an account and a calendar and
// read the database file directly.
#include "store/ROrvaneDataManager.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "tests/support/TempFolder.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace orvane::test {

class OpenStoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dataDir = folder.Path() / "BrenmoorTech" / "Orvane";
        store = new ROrvaneDataManager();
        ASSERT_EQ(R_OK, store->Open(CStringW::FromUtf8(dataDir.string())));
    }
    void TearDown() override {
        if (store != nullptr) {
            store->Release();
        }
    }

    AccountRecord MakeAccount(const char* guid, const char* password = "secret") {
        AccountRecord account;
        account.Clear();
        account.guid = guid;
        account.description = "Work";
        account.username = "me";
        account.password = password;
        account.refreshInterval = 15;
        EXPECT_EQ(R_OK, store->AddAccount(&account));
        return account;
    }
    CalendarRecord MakeCalendar(const char* accountGuid, const char* guid) {
        CalendarRecord calendar;
        calendar.Clear();
        calendar.guid = guid;
        calendar.displayName = "Home";
        EXPECT_EQ(R_OK, store->AddCalendar(accountGuid, &calendar));
        return calendar;
    }

    // A count straight from the file, through a connection of its own.
    long long Scalar(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open((dataDir / "OrvaneDB.sqlite").c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        long long value = -1;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            value = sqlite3_column_int64(statement, 0);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return value;
    }
    static std::string ReadBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempFolder folder;
    std::filesystem::path dataDir;
    ROrvaneDataManager* store = nullptr;
};

}  // namespace orvane::test
