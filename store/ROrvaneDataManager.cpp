#include "store/ROrvaneDataManager.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "foundation/text/PathComponents.h"
#include "store/range/SeriesRowCache.h"
#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Table.h"

namespace {

// The built-in pass phrase from which the password cipher is keyed.
constexpr char16_t kPassPhrase[] = u"Lq5vN82mcT";

const char* const kCreateStatements[] = {
    "create table DatabaseInfo(description TEXT, version INTEGER);",
    "insert into DatabaseInfo values ('Brenmoor Technologies Orvane Database', 1);",
    "create table Accounts (guid TEXT UNIQUE PRIMARY KEY, description TEXT, username TEXT, refreshInterval INTEGER, "
    "address TEXT, showInSeparateWindow INTEGER, enabled INTEGER, localDirPath TEXT, OAuthAuthenticationGrant TEXT);",
    "create table Calendars (guid TEXT, parentAccountGuid TEXT, displayName TEXT, description TEXT, calendarOrder "
    "INTEGER, rgbValue TEXT, enabled INTEGER, readOnly INTEGER, subscriptionURL TEXT, subscriptionLastRefreshed TEXT, "
    "ctag TEXT, syncToken TEXT, pathURI TEXT, privileges TEXT, resourceType TEXT, owner TEXT, "
    "supportedCalendarComponentSet TEXT, localDirPath TEXT);",
    "create table CalendarItems (guid TEXT, parentCalendarGuid TEXT, parentAccountGuid TEXT, type TEXT, scheduleTag "
    "TEXT, etag TEXT, serverFileName TEXT, localFileName TEXT, summary TEXT, dtStart TEXT, dtStartTZ TEXT, dtEnd TEXT, "
    "dtEndTZ TEXT, dtStartOlsonTZ TEXT, dtEndOlsonTZ TEXT, whiteRabbitTimeZone TEXT, dtPatternStart TEXT, "
    "dtPatternEnd TEXT, dtStamp TEXT, dtCreated TEXT, dtLastModified TEXT, dtAlarmTrigger TEXT, rrule TEXT, "
    "recurrenceID TEXT, sequence INTEGER, exDates TEXT, location TEXT, description TEXT, url TEXT, status TEXT, "
    "transparency TEXT, organizer TEXT, myPartStat TEXT, attendees TEXT, icsBlob TEXT);",
    "create index CalendarItemsIndexGuid on CalendarItems (guid);",
    "create index CalendarItemsIndexPatternStart on CalendarItems (dtPatternStart);",
    "create table TimeZones (timeZoneID TEXT, olsonID TEXT, daylightName TEXT, daylightOffsetFrom REAL, "
    "daylightOffsetTo REAL, daylightRrule TEXT, daylightDTStart TEXT, standardName TEXT, standardOffsetFrom REAL, "
    "standardOffsetTo REAL, standardRrule TEXT, standardDTStart TEXT);",
    "create index TimeZonesIndex on TimeZones (timeZoneID);",
};

struct Migration {
    const char* probe;
    const char* statements[3];
    int count;
};

// Each adds a column that older databases lack; most of them throw away the rows whose
// meaning changed with it.
const Migration kMigrations[] = {
    {"select daylightDTStart from TimeZones;",
     {"alter table TimeZones add column daylightDTStart TEXT;", "delete from TimeZones where timeZoneID IS NOT '';",
      "delete from CalendarItems where guid IS NOT '';"},
     3},
    {"select standardDTStart from TimeZones;",
     {"alter table TimeZones add column standardDTStart TEXT;", "delete from TimeZones where timeZoneID IS NOT '';",
      "delete from CalendarItems where guid IS NOT '';"},
     3},
    {"select whiteRabbitTimeZone from CalendarItems;",
     {"alter table CalendarItems add column whiteRabbitTimeZone TEXT;", nullptr, nullptr},
     1},
    {"select scheduleTag from CalendarItems;",
     {"alter table CalendarItems add column scheduleTag TEXT;", "delete from CalendarItems where guid IS NOT '';",
      nullptr},
     2},
};

void CreateFolder(const CStringW& path) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path.ToUtf8().Str()), ignored);
}

}  // namespace

ROrvaneDataManager::ROrvaneDataManager() : seriesCache(std::make_unique<SeriesRowCache>()) {}

// The connection member closes itself; a failure to close is swallowed there, since
// a destructor that throws would end the program.
ROrvaneDataManager::~ROrvaneDataManager() {
    if (batchOpen) {
        ExecuteSql("commit;", SQL_MODE_EXEC, this, nullptr);
    }
}

RResult ROrvaneDataManager::Open(const CStringW& dataFolder) {
    try {
        dataDir = dataFolder;
        CreateFolder(dataDir);
        dbPath = dataDir;
        AppendPathComponent(dbPath, CStringW(u"OrvaneDB.sqlite"));
        const CStringA dbPathUtf8 = dbPath.ToUtf8();
        struct stat info {};
        const bool existed = stat(dbPathUtf8.GetString(), &info) == 0;

        {
            // Rows kept from an earlier connection say nothing about this one.
            std::lock_guard<std::mutex> lock(seriesMutex);
            seriesCache->byAccount.clear();
        }
        db.open(dbPathUtf8.GetString());
        // SQLite reads a file only when it first needs to; a file that is not a database, or
        // one that may not be written, is refused here before anything is run against it.
        CppSQLite3Table tables;
        if (ExecuteSql("select count(*) as n from sqlite_master where type = 'table';", SQL_MODE_GTBL, this, &tables) !=
            R_OK) {
            db.close();
            return R_E_BAD_FORMAT;
        }
        if (db.isReadOnly()) {
            db.close();
            return R_E_ACCESS_DENIED;
        }
        tables.setRow(0);
        // A file without any table (an empty file, say) holds nothing to upgrade or to lose.
        if (!existed || tables.getIntField("n") == 0) {
            CreateDatabase();
        } else {
            UpgradeDatabase();
        }

        accountsDir = dataDir;
        AppendPathComponent(accountsDir, CStringW(u"Accounts"));
        CreateFolder(accountsDir);

        std::lock_guard<std::mutex> lock(cryptoMutex);
        crypto.DeriveKey(CStringW(kPassPhrase));
        return R_OK;
    } catch (...) {
        try {
            db.close();
        } catch (...) {
        }
        return R_E_EXCEPTION;
    }
}

long long ROrvaneDataManager::ChangeStamp() {
    std::lock_guard<std::mutex> lock(sqlMutex);
    try {
        return db.changeStamp();
    } catch (...) {
        return -1;
    }
}

void ROrvaneDataManager::BeginBatch() {
    std::lock_guard<std::mutex> lock(batchMutex);
    // A batch whose commit failed is still open; it takes the next batch's writes too.
    if (batchDepth++ == 0 && !batchOpen) {
        batchOpen = ExecuteSql("begin;", SQL_MODE_EXEC, this, nullptr) == R_OK;
    }
}

void ROrvaneDataManager::EndBatch() {
    std::lock_guard<std::mutex> lock(batchMutex);
    if (--batchDepth == 0 && batchOpen) {
        // A commit that fails (another program holding the file past the busy timeout) leaves
        // the batch open for the next commit rather than losing its writes.
        batchOpen = ExecuteSql("commit;", SQL_MODE_EXEC, this, nullptr) != R_OK;
    }
}

RResult ROrvaneDataManager::ExecuteInTransaction(const char* const* statements, int count) {
    RResult result = ExecuteSql("begin immediate;", SQL_MODE_EXEC, this, nullptr);
    if (result != R_OK) {
        return result;
    }
    for (int i = 0; i < count && result == R_OK; ++i) {
        result = ExecuteSql(statements[i], SQL_MODE_EXEC, this, nullptr);
    }
    if (result == R_OK) {
        result = ExecuteSql("commit;", SQL_MODE_EXEC, this, nullptr);
    }
    if (result != R_OK) {
        ExecuteSql("rollback;", SQL_MODE_EXEC, this, nullptr);
    }
    return result;
}

RResult ROrvaneDataManager::CreateDatabase() {
    return ExecuteInTransaction(kCreateStatements, static_cast<int>(std::size(kCreateStatements)));
}

RResult ROrvaneDataManager::UpgradeDatabase() {
    RResult result = R_OK;
    CppSQLite3Table probe;
    for (const Migration& migration : kMigrations) {
        if (ExecuteSql(migration.probe, SQL_MODE_GTBL, this, &probe) == R_OK) {
            continue;
        }
        // The column and the purge it calls for land together or not at all, so an upgrade
        // that fails or is interrupted leaves the old database as it was.
        if (const RResult applied = ExecuteInTransaction(migration.statements, migration.count); applied != R_OK) {
            result = applied;
        }
    }
    return result;
}

int ROrvaneDataManager::GetDatabaseVersion() {
    CppSQLite3Table table;
    ExecuteSql("select * from DatabaseInfo order by 1;", SQL_MODE_GTBL, this, &table);
    table.setRow(0);
    return table.getIntField("version");
}

RResult ROrvaneDataManager::SetDatabaseVersion(int version) {
    CStringA sql;
    sql.Format("update DatabaseInfo set version = %d where description = 'Brenmoor Technologies Orvane Database';",
               version);
    return ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
}
