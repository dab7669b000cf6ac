#include "store/ROrvaneDataManager.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "foundation/text/PathComponents.h"
#include "store/range/SeriesRowCache.h"
#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/StoreTransaction.h"

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

// Indexes for the selects of later versions, added to every database on open when missing.
// The series index holds only repeating and exception rows; a select uses it when its
// condition repeats the index's own condition word for word.
const char* const kLaterIndexes[] = {
    "create index if not exists CalendarItemsIndexServerFileName on CalendarItems (serverFileName);",
    "create index if not exists CalendarItemsIndexSeries on CalendarItems (parentAccountGuid, guid) where "
    "rrule <> '' or recurrenceID <> '';",
};

constexpr char kDatabaseDescription[] = "Brenmoor Technologies Orvane Database";

struct Migration {
    const char* probe;
    const char* statements[4];
    int count;
};

// Emptying the item rows also empties every calendar's collection tag and sync token: a tag left
// equal to the server's would make the next sync skip the emptied calendar for good.
#define ORVANE_FORGET_TAGS "update Calendars set ctag = '', syncToken = '';"

// Each adds a column that older databases lack; most of them throw away the rows whose
// meaning changed with it. A probe's select fails when its column is missing, which SQLite
// knows from the schema: it reads no row.
const Migration kMigrations[] = {
    {"select daylightDTStart from TimeZones limit 0;",
     {"alter table TimeZones add column daylightDTStart TEXT;", "delete from TimeZones where timeZoneID IS NOT '';",
      "delete from CalendarItems where guid IS NOT '';", ORVANE_FORGET_TAGS},
     4},
    {"select standardDTStart from TimeZones limit 0;",
     {"alter table TimeZones add column standardDTStart TEXT;", "delete from TimeZones where timeZoneID IS NOT '';",
      "delete from CalendarItems where guid IS NOT '';", ORVANE_FORGET_TAGS},
     4},
    {"select whiteRabbitTimeZone from CalendarItems limit 0;",
     {"alter table CalendarItems add column whiteRabbitTimeZone TEXT;", nullptr, nullptr, nullptr},
     1},
    {"select scheduleTag from CalendarItems limit 0;",
     {"alter table CalendarItems add column scheduleTag TEXT;", "delete from CalendarItems where guid IS NOT '';",
      ORVANE_FORGET_TAGS, nullptr},
     3},
};
#undef ORVANE_FORGET_TAGS

void CreateFolder(const CStringW& path) {
    std::error_code ignored;  // a folder that cannot be made fails the writes into it, with their codes
    std::filesystem::create_directories(std::filesystem::path(path.ToUtf8().Str()), ignored);
}

// Reads one count from a select whose single column is named n; -1 when the select fails, with
// its failure in `failure` when that is given.
int CountOf(const char* sql, ROrvaneDataManager* store, RResult* failure = nullptr) {
    CppSQLite3Table table;
    const RResult result = ExecuteSql(sql, SQL_MODE_GTBL, store, &table);
    if (result != R_OK || table.numRows() < 1) {
        if (failure != nullptr) {
            *failure = result != R_OK ? result : R_E_BAD_FORMAT;
        }
        return -1;
    }
    table.setRow(0);
    return table.getIntField("n");
}

}  // namespace

ROrvaneDataManager::ROrvaneDataManager(int busyTimeoutMs)
    : busyTimeoutMs(busyTimeoutMs), db(busyTimeoutMs), seriesCache(std::make_unique<SeriesRowCache>()) {}

// The connection member closes itself; a failure to close is swallowed there, since
// a destructor that throws would end the program.
ROrvaneDataManager::~ROrvaneDataManager() = default;

RResult ROrvaneDataManager::Open(const CStringW& dataFolder) {
    // Several write transactions run below; against a held lock each would wait the whole timeout.
    LimitWaitsToOneTimeout(true);
    struct WaitsRestored {
        ROrvaneDataManager& store;
        ~WaitsRestored() { store.LimitWaitsToOneTimeout(false); }
    } waitsRestored{*this};
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
            platform::MutexLock lock(seriesMutex);
            seriesCache->byAccount.clear();
        }
        OpenConnection(dbPathUtf8.GetString());
        // SQLite reads a file only when it first needs to; a file that is not a database, or
        // one that may not be written, is refused here before anything is run against it.
        RResult unread = R_OK;
        const int tables = CountOf("select count(*) as n from sqlite_master where type = 'table';", this, &unread);
        if (tables < 0) {
            CloseConnection();
            return unread == R_E_DATABASE_BUSY ? R_E_DATABASE_BUSY : R_E_BAD_FORMAT;
        }
        if (ConnectionIsReadOnly()) {
            CloseConnection();
            return R_E_ACCESS_DENIED;
        }
        // A file without any table (an empty file, say) holds nothing to upgrade or to lose; one
        // with tables is ours only when it carries our DatabaseInfo row. Another program's
        // database is left exactly as it is.
        if (existed && tables > 0) {
            CStringA sql;
            sql.Format("select count(*) as n from DatabaseInfo where description = '%s';", kDatabaseDescription);
            if (CountOf(sql, this, &unread) < 1) {
                CloseConnection();
                return unread == R_E_DATABASE_BUSY || unread == R_E_DATABASE_CORRUPT ? unread : R_E_BAD_FORMAT;
            }
            // Damage found here is reported below, and no migration writes into it.
            ReadEveryTablePage();
            static_cast<void>(UpgradeDatabase());  // a failed migration is traced; the store works on
        } else {
            static_cast<void>(CreateDatabase());  // a failure is traced; the selects then report it
        }
        if (FoundDamaged()) {
            CloseConnection();
            return R_E_DATABASE_CORRUPT;
        }
        static_cast<void>(EnsureIndexes());  // without an index a select is slower, never wrong

        accountsDir = dataDir;
        AppendPathComponent(accountsDir, CStringW(u"Accounts"));
        CreateFolder(accountsDir);
        RemoveLeftovers();

        platform::MutexLock lock(cryptoMutex);
        crypto.DeriveKey(CStringW(kPassPhrase));
        return R_OK;
    } catch (...) {
        CloseConnection();
        return R_E_EXCEPTION;
    }
}

void ROrvaneDataManager::OpenConnection(const char* path) {
    platform::MutexLock lock(sqlMutex);
    damaged = false;
    db.open(path);
}

bool ROrvaneDataManager::FoundDamaged() {
    platform::MutexLock lock(sqlMutex);
    return damaged;
}

void ROrvaneDataManager::CloseConnection() {
    platform::MutexLock lock(sqlMutex);
    try {
        db.close();
    } catch (...) {
        // SQLite refused to close (a statement still open); the connection object closes it
        // when the store goes, and nothing more is read through it meanwhile.
    }
}

void ROrvaneDataManager::LimitWaitsToOneTimeout(bool limited) {
    platform::MutexLock lock(sqlMutex);
    if (limited) {
        waitDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs);
    } else {
        waitDeadline.reset();
        db.setBusyTimeout(busyTimeoutMs);
    }
}

bool ROrvaneDataManager::ConnectionIsReadOnly() {
    platform::MutexLock lock(sqlMutex);
    return db.isReadOnly();
}

long long ROrvaneDataManager::ForeignChangeStamp() {
    platform::MutexLock lock(sqlMutex);
    try {
        // Row counts stay far below 2^40, so the two fit one number without overlapping.
        return (db.totalChanges() - ownChanges) + (db.dataVersion() << 40);
    } catch (...) {
        return -1;
    }
}

void ROrvaneDataManager::ReadEveryTablePage() {
    // The walk reads each page once: through the connection's large cache it would fill that
    // cache with pages the program may never ask for again. The cache's size is put back after.
    CppSQLite3Table kept;
    const bool sizeKnown = ExecuteSql("PRAGMA cache_size;", SQL_MODE_GTBL, this, &kept) == R_OK && kept.numRows() == 1;
    CStringA cacheSize;
    cacheSize.Format("PRAGMA cache_size = -%d;", kPageWalkCacheKiB);
    static_cast<void>(ExecuteSql(cacheSize, SQL_MODE_EXEC, this, nullptr));  // a failure costs memory only
    // A count over the table itself (not over one of its indexes) visits every page of its tree
    // without decoding a row; a page it cannot read marks the store damaged.
    static_cast<void>(CountOf("select count(*) as n from CalendarItems not indexed;", this));
    static_cast<void>(CountOf("select count(*) as n from TimeZones not indexed;", this));
    if (sizeKnown) {
        kept.setRow(0);
        cacheSize.Format("PRAGMA cache_size = %d;", kept.getIntField("cache_size"));
        static_cast<void>(ExecuteSql(cacheSize, SQL_MODE_EXEC, this, nullptr));
    }
}

RResult ROrvaneDataManager::EnsureIndexes() {
    // Each on its own: a database too old for one of them still gains the others.
    RResult result = R_OK;
    for (const char* statement : kLaterIndexes) {
        if (const RResult made = ExecuteInTransaction(&statement, 1); made != R_OK && result == R_OK) {
            result = made;
        }
    }
    return result;
}

RResult ROrvaneDataManager::ExecuteInTransaction(const char* const* statements, int count) {
    StoreTransaction transaction(*this);
    for (int i = 0; i < count; ++i) {
        if (const RResult result = transaction.Exec(statements[i]); result != R_OK) {
            return result;
        }
    }
    // A migration may purge item rows.
    transaction.TouchAll();
    return transaction.Commit();
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
    // A failed select leaves the table empty, and reading it raises the access layer's exception.
    static_cast<void>(ExecuteSql("select * from DatabaseInfo order by 1;", SQL_MODE_GTBL, this, &table));
    table.setRow(0);
    return table.getIntField("version");
}

RResult ROrvaneDataManager::SetDatabaseVersion(int version) {
    CStringA sql;
    sql.Format("update DatabaseInfo set version = %d where description = '%s';", version, kDatabaseDescription);
    StoreTransaction transaction(*this);
    static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
    return transaction.Commit();
}
