#include "tests/store/data/CalendarText.h"
#include "tests/store/data/OpenStoreFixture.h"
#include "tests/support/WithoutOverridingPermissions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace orvane::test {
namespace {

// Older databases, made the way earlier versions of the program made them.
const char* const kOldTables[] = {
    "create table DatabaseInfo(description TEXT, version INTEGER);",
    "insert into DatabaseInfo values ('Brenmoor Technologies Orvane Database', 1);",
    "create table Accounts (guid TEXT UNIQUE PRIMARY KEY, description TEXT, username TEXT, refreshInterval INTEGER, "
    "address TEXT, showInSeparateWindow INTEGER, enabled INTEGER, localDirPath TEXT, OAuthAuthenticationGrant TEXT);",
    "create table Calendars (guid TEXT, parentAccountGuid TEXT, displayName TEXT, description TEXT, calendarOrder "
    "INTEGER, rgbValue TEXT, enabled INTEGER, readOnly INTEGER, subscriptionURL TEXT, subscriptionLastRefreshed TEXT, "
    "ctag TEXT, syncToken TEXT, pathURI TEXT, privileges TEXT, resourceType TEXT, owner TEXT, "
    "supportedCalendarComponentSet TEXT, localDirPath TEXT);",
    "insert into Accounts (guid, description) values ('acc', 'Kept');",
    "insert into Calendars (guid, parentAccountGuid, ctag) values ('cal', 'acc', 'tag-1');",
};

struct OldSchema {
    bool daylightStart, standardStart, whiteRabbit, scheduleTag;
};

void MakeOldDatabase(const std::filesystem::path& file, OldSchema schema) {
    std::filesystem::create_directories(file.parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(file.c_str(), &db));
    for (const char* sql : kOldTables) {
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) << sql;
    }
    std::string items = "create table CalendarItems (guid TEXT, parentCalendarGuid TEXT, parentAccountGuid TEXT, "
                        "summary TEXT, dtStart TEXT, dtPatternStart TEXT, dtPatternEnd TEXT, rrule TEXT, "
                        "recurrenceID TEXT, sequence INTEGER";
    items += schema.whiteRabbit ? ", whiteRabbitTimeZone TEXT" : "";
    items += schema.scheduleTag ? ", scheduleTag TEXT" : "";
    items += ");";
    std::string zones = "create table TimeZones (timeZoneID TEXT, olsonID TEXT, standardName TEXT";
    zones += schema.daylightStart ? ", daylightDTStart TEXT" : "";
    zones += schema.standardStart ? ", standardDTStart TEXT" : "";
    zones += ");";
    for (const std::string& sql : {items, zones, std::string("insert into CalendarItems (guid, summary) values ('i1', 'x');"),
                                   std::string("insert into TimeZones (timeZoneID) values ('Europe/Berlin');")}) {
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr)) << sql;
    }
    sqlite3_close(db);
}

class SchemaUpgradeTest : public OpenStoreFixture {
protected:
    // The tables' definitions and every row, through a connection of its own; indexes the store
    // adds on open are left out.
    std::string Dump() {
        sqlite3* db = nullptr;
        sqlite3_open(DbFile().c_str(), &db);
        std::string text;
        const auto collect = [](void* out, int columns, char** values, char**) {
            for (int i = 0; i < columns; ++i) {
                *static_cast<std::string*>(out) += values[i] != nullptr ? values[i] : "NULL";
                *static_cast<std::string*>(out) += '|';
            }
            *static_cast<std::string*>(out) += '\n';
            return 0;
        };
        sqlite3_exec(db, "select type, name, sql from sqlite_master where type = 'table' order by name;", collect,
                     &text, nullptr);
        for (const char* table : {"DatabaseInfo", "Accounts", "Calendars", "CalendarItems", "TimeZones"}) {
            sqlite3_exec(db, (std::string("select * from ") + table + " order by rowid;").c_str(), collect, &text,
                         nullptr);
        }
        sqlite3_close(db);
        return text;
    }
    void SetUp() override { dataDir = folder.Path() / "BrenmoorTech" / "Orvane"; }
    std::filesystem::path DbFile() const { return dataDir / "OrvaneDB.sqlite"; }
    RResult Reopen() {
        if (store != nullptr) {
            store->Release();
        }
        store = new ROrvaneDataManager();
        return store->Open(CStringW::FromUtf8(dataDir.string()));
    }
    long long Columns(const char* table, const char* column) {
        return Scalar(std::string("select count(*) from pragma_table_info('") + table + "') where name = '" + column +
                      "'");
    }
};

TEST_F(SchemaUpgradeTest, NewFolderGetsTheWholeSchema) {
    ASSERT_EQ(R_OK, Reopen());
    EXPECT_TRUE(std::filesystem::is_directory(dataDir / "Accounts"));
    EXPECT_EQ(4, Scalar("select count(*) from sqlite_master where type = 'table' and name in "
                        "('DatabaseInfo','Accounts','Calendars','CalendarItems')"));
    EXPECT_EQ(1, Scalar("select count(*) from sqlite_master where type = 'table' and name = 'TimeZones'"));
    EXPECT_EQ(3, Scalar("select count(*) from sqlite_master where type = 'index' and name in "
                        "('CalendarItemsIndexGuid','CalendarItemsIndexPatternStart','TimeZonesIndex')"));
    EXPECT_EQ(1, Scalar("select count(*) from DatabaseInfo where description = "
                        "'Brenmoor Technologies Orvane Database' and version = 1"));
    EXPECT_EQ(1, store->GetDatabaseVersion());
    EXPECT_EQ(R_OK, store->SetDatabaseVersion(3));
    EXPECT_EQ(3, store->GetDatabaseVersion());

    // A second start upgrades nothing and keeps the one DatabaseInfo row.
    ASSERT_EQ(R_OK, Reopen());
    EXPECT_EQ(1, Scalar("select count(*) from DatabaseInfo"));
}

// Each older schema gains its missing columns; the purges that the upgrade calls for drop
// zone and item rows only, never accounts or calendars.
TEST_F(SchemaUpgradeTest, OlderSchemasGainTheirColumnsAndLoseOnlyWhatTheyMust) {
    struct Case {
        OldSchema schema;
        long long zonesLeft, itemsLeft;
    } cases[] = {{{false, false, true, true}, 0, 0},
                 {{true, true, true, false}, 1, 0},
                 {{true, true, false, true}, 1, 1},
                 {{true, true, true, true}, 1, 1}};
    for (const Case& c : cases) {
        std::filesystem::remove_all(dataDir);
        MakeOldDatabase(DbFile(), c.schema);
        const std::string before = Dump();
        testing::internal::CaptureStderr();
        ASSERT_EQ(R_OK, Reopen());
        testing::internal::GetCapturedStderr();
        for (const auto& [table, column] : {std::pair{"TimeZones", "daylightDTStart"}, {"TimeZones", "standardDTStart"},
                                            {"CalendarItems", "whiteRabbitTimeZone"}, {"CalendarItems", "scheduleTag"}}) {
            EXPECT_EQ(1, Columns(table, column)) << column;
        }
        EXPECT_EQ(c.zonesLeft, Scalar("select count(*) from TimeZones"));
        EXPECT_EQ(c.itemsLeft, Scalar("select count(*) from CalendarItems"));
        EXPECT_EQ(1, Scalar("select count(*) from Accounts"));
        // Emptied calendars lose their tags too, so the next sync downloads everything again.
        EXPECT_EQ(1, Scalar(c.itemsLeft == 1 ? "select count(*) from Calendars where ctag = 'tag-1'"
                                             : "select count(*) from Calendars where ctag = '' and syncToken = ''"));
        // Every database gains the index of the date-range query's series select.
        EXPECT_EQ(1, Scalar("select count(*) from sqlite_master where name = 'CalendarItemsIndexSeries'"));
        store->Release();
        store = nullptr;
        if (c.itemsLeft == 1 && c.schema.whiteRabbit) {
            EXPECT_TRUE(before == Dump()) << "a current database keeps its tables and rows";
        }
    }
}

TEST_F(SchemaUpgradeTest, FailedPurgeLeavesTheOldDatabaseIntact) {
    MakeOldDatabase(DbFile(), {true, true, true, false});
    // Deleting item rows fails half-way through the upgrade.
    sqlite3* db = nullptr;
    sqlite3_open(DbFile().c_str(), &db);
    sqlite3_exec(db, "create trigger Keep before delete on CalendarItems begin select raise(abort, 'kept'); end;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);

    testing::internal::CaptureStderr();
    ASSERT_EQ(R_OK, Reopen());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(0, Columns("CalendarItems", "scheduleTag"));  // the added column went with the purge
    EXPECT_EQ(1, Scalar("select count(*) from CalendarItems"));
}

TEST_F(SchemaUpgradeTest, FileThatIsNotADatabaseIsRefusedUntouched) {
    std::filesystem::create_directories(dataDir);
    const std::string garbage(5000, 'Q');
    { std::ofstream(DbFile(), std::ios::binary) << garbage; }
    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_BAD_FORMAT, Reopen());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(garbage, ReadBytes(DbFile()));
    EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts"));
}

TEST_F(SchemaUpgradeTest, UnopenableDatabaseFailsAndEmptyFileGetsTheSchema) {
    std::filesystem::create_directories(DbFile());  // a folder where the file should be
    EXPECT_EQ(R_E_EXCEPTION, Reopen());
    EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts"));
    std::filesystem::remove(DbFile());
    { std::ofstream(DbFile(), std::ios::binary); }
    ASSERT_EQ(R_OK, Reopen());
    EXPECT_EQ(1, Scalar("select count(*) from DatabaseInfo"));
}

TEST_F(SchemaUpgradeTest, ReadOnlyDatabaseIsRefusedUntouched) {
    MakeOldDatabase(DbFile(), {false, false, false, false});
    ASSERT_EQ(0, chmod(DbFile().c_str(), 0444));
    const std::string before = ReadBytes(DbFile());
    RResult result = R_OK;
    store = new ROrvaneDataManager();
    // Root may write any file, so the store is opened without that power.
    orvane::test::WithoutOverridingPermissions([&] { result = store->Open(CStringW::FromUtf8(dataDir.string())); });
    EXPECT_EQ(R_E_ACCESS_DENIED, result);
    EXPECT_EQ(before, ReadBytes(DbFile()));
}

// A database made before the look-up by server file name had its index gains it on open, and the
// look-up then goes through it rather than through every row.
TEST_F(SchemaUpgradeTest, DatabaseWithoutTheNewIndexesGainsThem) {
    ASSERT_EQ(R_OK, Reopen());
    store->Release();
    store = nullptr;
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(DbFile().c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "drop index CalendarItemsIndexServerFileName; drop index CalendarItemsIndexSeries;",
                                      nullptr, nullptr, nullptr));
    sqlite3_close(db);

    ASSERT_EQ(R_OK, Reopen());
    EXPECT_EQ(2, Scalar("select count(*) from sqlite_master where type = 'index' and name in "
                        "('CalendarItemsIndexServerFileName', 'CalendarItemsIndexSeries')"));
    CppSQLite3Table plan;
    ASSERT_EQ(R_OK, ExecuteSql("explain query plan select * from CalendarItems where parentAccountGuid='a' and "
                               "parentCalendarGuid='c' and serverFileName='x.ics' order by 1;",
                               SQL_MODE_GTBL, store, &plan));
    std::string steps;
    for (int row = 0; row < plan.numRows(); ++row) {
        plan.setRow(row);
        steps += plan.getStringField("detail");
    }
    EXPECT_NE(std::string::npos, steps.find("CalendarItemsIndexServerFileName")) << steps;
}

// The checks of every open read the item table's pages only through a small cache of their own,
// so a store of many items does not open by filling memory with them.
TEST_F(SchemaUpgradeTest, OpeningAStoreOfManyItemsKeepsFewOfItsPagesInMemory) {
    ASSERT_EQ(R_OK, Reopen());
    MakeAccount("acc");
    MakeCalendar("acc", "cal");
    ASSERT_EQ(R_OK, ImportText(store, EventsText("item", 3000, std::string(1000, 's'))));
    store->Release();
    store = nullptr;
    const auto fileBytes = static_cast<long long>(std::filesystem::file_size(DbFile()));
    ASSERT_GT(fileBytes, 6 << 20);

    const long long before = sqlite3_memory_used();
    store = new ROrvaneDataManager();
    ASSERT_EQ(R_OK, store->Open(CStringW::FromUtf8(dataDir.string())));
    EXPECT_LT(sqlite3_memory_used() - before, fileBytes / 4);
}

}  // namespace
}  // namespace orvane::test
