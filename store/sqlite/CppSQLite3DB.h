#pragma once
// The store's one SQLite connection. Statements are complete SQL texts; a read fetches its
// whole result at once. Failures raise CppSQLite3Exception.
// Needs its owner's lock: the store runs every call under its statement mutex (SQLite's own lock
// on the connection is off, so nothing else keeps two threads apart).
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/sqlite/CppSQLite3Row.h"
#include "store/sqlite/CppSQLite3Table.h"

struct sqlite3;
struct sqlite3_stmt;

// A value for a statement's '?' parameter: the text when it is not null, else the number.
struct SqlValue {
    const char* text = nullptr;
    long long number = 0;
};

class CppSQLite3DB {
public:
    explicit CppSQLite3DB(int busyTimeoutMs = 60000);
    // Closes an open connection; a failure to close is swallowed here.
    virtual ~CppSQLite3DB();
    CppSQLite3DB(const CppSQLite3DB&) = delete;
    CppSQLite3DB& operator=(const CppSQLite3DB&) = delete;

    // Opens (SQLite creates a missing file) the UTF-8 path; a connection already open is closed first.
    void open(const char* path);
    // Raises 1000 "Unable to close database" when SQLite refuses to close.
    void close();
    bool isOpen() const { return handle != nullptr; }
    // How long the open connection waits for another connection's lock from now on (not kept
    // for a later open, which sets the timeout it was constructed with).
    void setBusyTimeout(int milliseconds);
    // True when the open database may only be read (file permissions, read-only medium).
    bool isReadOnly() const;
    // Rows changed by this connection's statements since it opened (rolled-back ones included).
    long long totalChanges() const;
    // SQLite's data version: moves when another connection commits a change to the file.
    // Raises 1000 "Database not open" without a connection.
    long long dataVersion();
    // Frees the cached pages that no statement holds; later reads fetch them from the file again.
    void releaseCachedPages();
    // Bytes the connection's page cache holds now.
    long long cachedPageBytes() const;

    // Runs the text (one statement, or several separated by ';') and returns the rows changed.
    int execDML(const char* sql);
    CppSQLite3Table getTable(const char* sql);
    // Steps through the rows of one select, handing each to `visit` as it comes, without holding
    // the whole result in memory: for the reads whose results are large. Raises as getTable does.
    void forEachRow(const char* sql, const std::function<void(const CppSQLite3Row&)>& visit);
    // Runs one statement whose '?' parameters take `values` in order, and returns the rows
    // changed; raises as execDML does. For statements run many times over with other values:
    // each text is compiled once and kept until the connection closes.
    int execBound(const char* sql, const std::vector<SqlValue>& values);
    // forEachRow for a select run many times over with other values: its '?' parameters take
    // `values`, and its text is compiled once and kept as execBound's are.
    void forEachRowBound(const char* sql, const std::vector<SqlValue>& values,
                         const std::function<void(const CppSQLite3Row&)>& visit);

private:
    void checkDB() const;
    void finalizeKept();
    // The compiled statement of `sql`, compiled now when it is not kept yet.
    sqlite3_stmt* keptStatement(const char* sql);
    void bindValues(sqlite3_stmt* statement, const std::vector<SqlValue>& values);

    // Compiled statements of execBound by text. Bounded: a program that made ever new texts
    // would otherwise keep each.
    static constexpr std::size_t kMaxKept = 64;
    std::unordered_map<std::string, sqlite3_stmt*> kept;

    sqlite3* handle = nullptr;
    int busyTimeoutMs;
};
