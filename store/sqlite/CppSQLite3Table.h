#pragma once
// A select's whole result held in memory, as sqlite3_get_table returns it: the column names,
// then the values row by row (an SQL NULL is a null entry). Columns are read by name only.
// Every reader raises CppSQLite3Exception 1000 on misuse; nothing is read out of bounds.
// Belongs to one thread: reading moves its current row, and column look-ups fill a cache.
#include <string_view>
#include <unordered_map>

class CppSQLite3Table {
public:
    CppSQLite3Table() = default;
    // Takes ownership of an array from sqlite3_get_table.
    CppSQLite3Table(char** results, int rows, int cols);
    virtual ~CppSQLite3Table();

    // Exactly one table owns an array: moving takes it over and leaves the source empty.
    CppSQLite3Table(CppSQLite3Table&& other) noexcept;
    CppSQLite3Table& operator=(CppSQLite3Table&& other) noexcept;
    CppSQLite3Table(const CppSQLite3Table&) = delete;
    CppSQLite3Table& operator=(const CppSQLite3Table&) = delete;

    int numFields() const { return cols; }
    int numRows() const { return rows; }

    // Makes row (0 .. rows - 1) current.
    void setRow(int row);
    // The current row's text in the named column (exact, case-sensitive name); null for NULL.
    const char* fieldValue(const char* name) const;
    int getIntField(const char* name) const;
    double getFloatField(const char* name, double nullValue = 0.0) const;
    const char* getStringField(const char* name) const;

private:
    void checkResults() const;
    void freeResults();

    int cols = 0;
    int rows = 0;
    int currentRow = 0;
    char** results = nullptr;
    // Column positions by name, made on the first look-up: rows are read field by field by
    // name, and a search through every column name for each field would dominate large reads.
    // The keys view the names in `results` and go with them.
    mutable std::unordered_map<std::string_view, int> columnIndex;
};
