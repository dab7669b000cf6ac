#include "store/sqlite/CppSQLite3DB.h"

#include <sqlite3.h>

#include <memory>

#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/RowPrint.h"

namespace {

// Raises for a failed sqlite3_exec or sqlite3_get_table, freeing the text SQLite allocated.
[[noreturn]] void RaiseWithSqliteText(int code, char* text) {
    CppSQLite3Exception error(code, text);
    sqlite3_free(text);
    throw error;
}

}  // namespace

CppSQLite3DB::CppSQLite3DB(int busyTimeoutMs) : busyTimeoutMs(busyTimeoutMs) {}

CppSQLite3DB::~CppSQLite3DB() {
    try {
        close();
    } catch (...) {
        // A destructor must not throw; the connection is lost either way.
    }
}

void CppSQLite3DB::open(const char* path) {
    close();
    sqlite3* opened = nullptr;
    // Without SQLite's own lock on the connection: its owner's lock already keeps every call to
    // one thread at a time, and a lock taken for every value bound costs as much again.
    const int result = sqlite3_open_v2(path != nullptr ? path : "", &opened,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result != SQLITE_OK) {
        // SQLite hands back a handle even when opening fails; it carries the message and must be closed.
        CppSQLite3Exception error(result, opened != nullptr ? sqlite3_errmsg(opened) : nullptr);
        sqlite3_close(opened);
        throw error;
    }
    handle = opened;
    sqlite3_busy_timeout(handle, busyTimeoutMs);
    // Without this a select that matches no rows reports no column names at all.
    sqlite3_exec(handle, "PRAGMA empty_result_callbacks = ON;", nullptr, nullptr, nullptr);
    // Room for the pages a long date range reads (the default keeps 2 MB), so that they are read
    // from the file once rather than at every query: five years of a busy calendar fill about
    // 35 MB, and a cache smaller than what a query passes over keeps none of it for the next.
    sqlite3_exec(handle, "PRAGMA cache_size = -65536;", nullptr, nullptr, nullptr);
    // Only memory can run out here; the selects that use it would then fail and say so.
    static_cast<void>(AddRowPrintFunction(handle));
}

void CppSQLite3DB::close() {
    if (handle == nullptr) {
        return;
    }
    // SQLite will not close a connection that still has compiled statements.
    finalizeKept();
    if (sqlite3_close(handle) != SQLITE_OK) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Unable to close database");
    }
    handle = nullptr;
}

void CppSQLite3DB::setBusyTimeout(int milliseconds) {
    if (handle != nullptr) {
        sqlite3_busy_timeout(handle, milliseconds);
    }
}

bool CppSQLite3DB::isReadOnly() const {
    return handle != nullptr && sqlite3_db_readonly(handle, "main") == 1;
}

long long CppSQLite3DB::totalChanges() const {
    return handle != nullptr ? static_cast<long long>(sqlite3_total_changes64(handle)) : 0;
}

long long CppSQLite3DB::dataVersion() {
    checkDB();
    sqlite3_stmt* statement = nullptr;
    long long version = 0;
    if (sqlite3_prepare_v2(handle, "PRAGMA data_version;", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        version = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return version;
}

void CppSQLite3DB::releaseCachedPages() {
    if (handle != nullptr) {
        sqlite3_db_release_memory(handle);
    }
}

long long CppSQLite3DB::cachedPageBytes() const {
    int current = 0;
    int highest = 0;
    if (handle == nullptr || sqlite3_db_status(handle, SQLITE_DBSTATUS_CACHE_USED, &current, &highest, 0) != SQLITE_OK) {
        return 0;
    }
    return current;
}

void CppSQLite3DB::checkDB() const {
    if (handle == nullptr) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Database not open");
    }
}

int CppSQLite3DB::execDML(const char* sql) {
    checkDB();
    char* errorText = nullptr;
    const int result = sqlite3_exec(handle, sql, nullptr, nullptr, &errorText);
    if (result != SQLITE_OK) {
        RaiseWithSqliteText(result, errorText);
    }
    sqlite3_free(errorText);
    return sqlite3_changes(handle);
}

CppSQLite3Table CppSQLite3DB::getTable(const char* sql) {
    checkDB();
    char** results = nullptr;
    int rows = 0;
    int cols = 0;
    char* errorText = nullptr;
    const int result = sqlite3_get_table(handle, sql, &results, &rows, &cols, &errorText);
    if (result != SQLITE_OK) {
        sqlite3_free_table(results);
        RaiseWithSqliteText(result, errorText);
    }
    sqlite3_free(errorText);
    return CppSQLite3Table(results, rows, cols);
}

void CppSQLite3DB::forEachRow(const char* sql, const std::function<void(const CppSQLite3Row&)>& visit) {
    checkDB();
    sqlite3_stmt* statement = nullptr;
    if (const int prepared = sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr); prepared != SQLITE_OK) {
        CppSQLite3Exception error(prepared, sqlite3_errmsg(handle));
        sqlite3_finalize(statement);
        throw error;
    }
    // Finalised on every way out, a visitor's exception included.
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> held(statement, sqlite3_finalize);
    const CppSQLite3Row row(statement);
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        visit(row);
    }
    if (stepped != SQLITE_DONE) {
        throw CppSQLite3Exception(stepped, sqlite3_errmsg(handle));
    }
}

sqlite3_stmt* CppSQLite3DB::keptStatement(const char* sql) {
    checkDB();
    const std::string text = sql != nullptr ? sql : "";
    auto found = kept.find(text);
    if (found == kept.end()) {
        if (kept.size() >= kMaxKept) {
            finalizeKept();
        }
        sqlite3_stmt* statement = nullptr;
        if (const int prepared = sqlite3_prepare_v2(handle, text.c_str(), -1, &statement, nullptr);
            prepared != SQLITE_OK || statement == nullptr) {
            CppSQLite3Exception error(prepared != SQLITE_OK ? prepared : CPPSQLITE_ERROR, sqlite3_errmsg(handle));
            sqlite3_finalize(statement);
            throw error;
        }
        found = kept.emplace(text, statement).first;
    }
    return found->second;
}

void CppSQLite3DB::bindValues(sqlite3_stmt* statement, const std::vector<SqlValue>& values) {
    if (static_cast<int>(values.size()) != sqlite3_bind_parameter_count(statement)) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Values do not match the statement's parameters");
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        const int bound = values[i].text != nullptr
                              ? sqlite3_bind_text(statement, position, values[i].text, -1, SQLITE_STATIC)
                              : sqlite3_bind_int64(statement, position, values[i].number);
        if (bound != SQLITE_OK) {
            throw CppSQLite3Exception(bound, sqlite3_errmsg(handle));
        }
    }
}

namespace {

// Leaves a kept statement reset and without values on every way out, so that it holds no lock
// and no pointer into the caller's texts.
struct ResetStatement {
    void operator()(sqlite3_stmt* statement) const {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
};

}  // namespace

int CppSQLite3DB::execBound(const char* sql, const std::vector<SqlValue>& values) {
    sqlite3_stmt* statement = keptStatement(sql);
    const std::unique_ptr<sqlite3_stmt, ResetStatement> held(statement);
    bindValues(statement, values);
    if (const int stepped = sqlite3_step(statement); stepped != SQLITE_DONE && stepped != SQLITE_ROW) {
        throw CppSQLite3Exception(stepped, sqlite3_errmsg(handle));
    }
    return sqlite3_changes(handle);
}

void CppSQLite3DB::forEachRowBound(const char* sql, const std::vector<SqlValue>& values,
                                   const std::function<void(const CppSQLite3Row&)>& visit) {
    sqlite3_stmt* statement = keptStatement(sql);
    const std::unique_ptr<sqlite3_stmt, ResetStatement> held(statement);
    bindValues(statement, values);
    // The row reads its column names once the first step is made: a kept statement is compiled
    // again at that step when the schema changed since, and the names of before go with it.
    int stepped = sqlite3_step(statement);
    if (stepped == SQLITE_ROW) {
        const CppSQLite3Row row(statement);
        do {
            visit(row);
        } while ((stepped = sqlite3_step(statement)) == SQLITE_ROW);
    }
    if (stepped != SQLITE_DONE) {
        throw CppSQLite3Exception(stepped, sqlite3_errmsg(handle));
    }
}

void CppSQLite3DB::finalizeKept() {
    for (const auto& [text, statement] : kept) {
        sqlite3_finalize(statement);
    }
    kept.clear();
}
