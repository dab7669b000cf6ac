#pragma once
// A store whose connection is open on a fresh SQLite file in a temporary folder.
#include "store/ROrvaneDataManager.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SqlTextBuilders.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace orvane::test {

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        store = new ROrvaneDataManager();
        dbPath = folder.Path() / "store.sqlite";
    }
    void TearDown() override { store->Release(); }

    void OpenWithTable() {
        store->Connection().open(dbPath.c_str());
        ASSERT_EQ(0, ExecuteSql("create table Notes (guid TEXT, body TEXT, count INTEGER, weight REAL);",
                                SQL_MODE_EXEC, store, nullptr));
    }
    int Count(const char* sql) {
        CppSQLite3Table table;
        EXPECT_EQ(0, ExecuteSql(sql, SQL_MODE_GTBL, store, &table));
        table.setRow(0);
        return table.getIntField("n");
    }
    static std::string ReadBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempFolder folder;
    std::filesystem::path dbPath;
    ROrvaneDataManager* store = nullptr;
};

}  // namespace orvane::test
