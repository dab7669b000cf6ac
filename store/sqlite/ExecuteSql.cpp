#include "store/sqlite/ExecuteSql.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include "foundation/debug/DebugTrace.h"
#include "store/ROrvaneDataManager.h"
#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Table.h"

namespace {

// A failed statement's code as the store reports it: the causes a user can act on (a full
// disk, another program holding the file, a file that may only be read) keep their meaning.
RResult ResultOfFailure(int sqliteCode) {
    switch (sqliteCode & 0xFF) {
        case SQLITE_FULL:
            return R_E_DISK_FULL;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return R_E_DATABASE_BUSY;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return R_E_ACCESS_DENIED;
        case SQLITE_IOERR:
            return R_E_WRITE_FAULT;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return R_E_DATABASE_CORRUPT;
        default:
            return R_E_BAD_FORMAT;
    }
}

}  // namespace

RResult ROrvaneDataManager::RunStatement(const char* sql, std::uint32_t mode, CppSQLite3Table* table, bool ownWrite,
                                         const std::vector<SqlValue>* values) {
    // Held for the whole statement; the guard releases it on every way out.
    platform::MutexLock lock(sqlMutex);
    // A write into a damaged file could spread the damage; undoing the open transaction cannot.
    // A damaged file that Open refused has no connection left: everything gets the same answer.
    if (damaged && (!db.isOpen() || (mode == SQL_MODE_EXEC && std::strcmp(sql, "rollback;") != 0))) {
        return R_E_DATABASE_CORRUPT;
    }
    try {
        if (waitDeadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *waitDeadline - std::chrono::steady_clock::now());
            db.setBusyTimeout(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count())));
        }
        switch (mode) {
            case SQL_MODE_EXEC: {
                const long long before = db.totalChanges();
                if (values != nullptr) {
                    db.execBound(sql, *values);
                } else {
                    db.execDML(sql);
                }
                if (ownWrite) {
                    ownChanges += db.totalChanges() - before;
                }
                break;
            }
            case SQL_MODE_GTBL:
                // The caller's table changes only once the fetch has succeeded.
                *table = db.getTable(sql);
                break;
            default:
                break;
        }
        return R_OK;
    } catch (const CppSQLite3Exception& error) {
        DebugTrace("Error %d :: %s", error.errorCode(), error.errorMessage());
        const RResult result = ResultOfFailure(error.errorCode());
        damaged = damaged || result == R_E_DATABASE_CORRUPT;
        return result;
    } catch (...) {
        return R_E_BAD_FORMAT;
    }
}

void ROrvaneDataManager::VisitRows(const char* sql, const std::function<void(const CppSQLite3Row&)>& visit) {
    platform::MutexLock lock(sqlMutex);
    try {
        db.forEachRow(sql, visit);
    } catch (const CppSQLite3Exception& error) {
        DebugTrace("Error %d :: %s", error.errorCode(), error.errorMessage());
        damaged = damaged || ResultOfFailure(error.errorCode()) == R_E_DATABASE_CORRUPT;
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Results pointer");
    }
}

void ROrvaneDataManager::VisitRows(const char* sql, const std::vector<SqlValue>& values,
                                   const std::function<void(const CppSQLite3Row&)>& visit) {
    platform::MutexLock lock(sqlMutex);
    try {
        db.forEachRowBound(sql, values, visit);
    } catch (const CppSQLite3Exception& error) {
        DebugTrace("Error %d :: %s", error.errorCode(), error.errorMessage());
        damaged = damaged || ResultOfFailure(error.errorCode()) == R_E_DATABASE_CORRUPT;
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Results pointer");
    }
}

RResult ExecuteSql(const char* sql, std::uint32_t mode, ROrvaneDataManager* store, CppSQLite3Table* table) {
    if (sql == nullptr || store == nullptr || (mode == SQL_MODE_GTBL && table == nullptr)) {
        return R_E_INVALID_ARGUMENT;
    }
    return store->RunStatement(sql, mode, table, false);
}

RResult ExecuteStoreWrite(const char* sql, ROrvaneDataManager* store) {
    if (sql == nullptr || store == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    return store->RunStatement(sql, SQL_MODE_EXEC, nullptr, true);
}

RResult ExecuteStoreWrite(const char* sql, const std::vector<SqlValue>& values, ROrvaneDataManager* store) {
    if (sql == nullptr || store == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    return store->RunStatement(sql, SQL_MODE_EXEC, nullptr, true, &values);
}
