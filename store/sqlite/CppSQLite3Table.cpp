#include "store/sqlite/CppSQLite3Table.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <sqlite3.h>

#include "store/sqlite/CppSQLite3Exception.h"

namespace {

// Number reading that ignores the process locale: the store writes reals with a '.', and a
// user locale with a decimal comma must not turn "1.500" into 1.
double ParseLeadingReal(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    if (*text == '+') {
        ++text;
    }
    double value = 0.0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

// atoi without its undefined behaviour for out-of-range text: the value saturates instead.
int ParseLeadingInt(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

CppSQLite3Table::CppSQLite3Table(char** results, int rows, int cols) : cols(cols), rows(rows), results(results) {}

CppSQLite3Table::~CppSQLite3Table() { freeResults(); }

CppSQLite3Table::CppSQLite3Table(CppSQLite3Table&& other) noexcept
    : cols(other.cols), rows(other.rows), currentRow(other.currentRow), results(other.results),
      columnIndex(std::move(other.columnIndex)) {
    other.results = nullptr;
    other.columnIndex.clear();
}

CppSQLite3Table& CppSQLite3Table::operator=(CppSQLite3Table&& other) noexcept {
    if (this != &other) {
        freeResults();
        results = other.results;
        rows = other.rows;
        cols = other.cols;
        currentRow = other.currentRow;
        columnIndex = std::move(other.columnIndex);
        other.results = nullptr;
        other.columnIndex.clear();
    }
    return *this;
}

void CppSQLite3Table::freeResults() {
    if (results != nullptr) {
        sqlite3_free_table(results);
        results = nullptr;
    }
    columnIndex.clear();
}

void CppSQLite3Table::checkResults() const {
    if (results == nullptr) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Results pointer");
    }
}

void CppSQLite3Table::setRow(int row) {
    checkResults();
    if (row < 0 || row > rows - 1) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid row index requested");
    }
    currentRow = row;
}

const char* CppSQLite3Table::fieldValue(const char* name) const {
    checkResults();
    if (name != nullptr) {
        if (columnIndex.empty()) {
            // The first of equal names wins, as a search from the first column would find.
            for (int column = 0; column < cols; ++column) {
                if (results[column] != nullptr) {
                    columnIndex.emplace(results[column], column);
                }
            }
        }
        const auto found = columnIndex.find(std::string_view(name));
        if (found != columnIndex.end()) {
            // A table without rows has only its names; there is no current row to read.
            if (currentRow < 0 || currentRow >= rows) {
                throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid row index requested");
            }
            return results[(currentRow + 1) * cols + found->second];
        }
    }
    throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field name requested");
}

int CppSQLite3Table::getIntField(const char* name) const {
    const char* value = fieldValue(name);
    return value != nullptr ? ParseLeadingInt(value) : 0;
}

double CppSQLite3Table::getFloatField(const char* name, double nullValue) const {
    const char* value = fieldValue(name);
    return value != nullptr ? ParseLeadingReal(value) : nullValue;
}

const char* CppSQLite3Table::getStringField(const char* name) const {
    const char* value = fieldValue(name);
    return value != nullptr ? value : "";
}
