#pragma once
// One row of a select that is stepped through rather than fetched whole (CppSQLite3DB::forEachRow),
// read by column name like a CppSQLite3Table's current row. Valid only during the visit it is
// handed to. Readers raise CppSQLite3Exception 1000 "Invalid field name requested" for a name
// the select has no column of.
// Belongs to the thread stepping the select.
#include <cstddef>
#include <string_view>
#include <utility>
#include <unordered_map>
#include <vector>

struct sqlite3_stmt;

class CppSQLite3Row {
public:
    explicit CppSQLite3Row(sqlite3_stmt* statement);

    // The row's text in the named column (exact, case-sensitive name); null for NULL.
    const char* fieldValue(const char* name) const;
    int getIntField(const char* name) const;
    // The named column as a 64-bit number (0 for NULL), as SQLite converts it.
    long long getInt64Field(const char* name) const;
    const char* getStringField(const char* name) const;

    // The positions of the named columns (-1 for a name the select lacks), looked up on the
    // first call for `names` only: a reader of many rows passes the same array for every row.
    const int* columnsOf(const char* const* names, std::size_t count) const;
    // The text at a position from columnsOf; null for NULL, and its length in bytes in `bytes`
    // when asked. -1 raises the exception for an unknown name.
    const char* fieldValueAt(int column, int* bytes = nullptr) const;

private:
    int Find(const char* name) const;

    sqlite3_stmt* statement;
    // Column positions by name; the keys view the statement's own column names.
    std::unordered_map<std::string_view, int> columnIndex;
    // Each column's name, or null where an earlier column has the same name (the map answers
    // for it).
    std::vector<const char*> uniqueNames;
    // Readers ask for the columns of every row in the same sequence: after the column at i,
    // the one asked for next last time is followingColumn[i] (or -1); the slot past the last
    // column stands for "none asked yet". A guess is checked by name before it is used.
    mutable std::vector<int> followingColumn;
    mutable int lastColumn = 0;
    // columnsOf's answers, by the address of the names asked for.
    mutable std::vector<std::pair<const char* const*, std::vector<int>>> resolved;
};
