#include "store/sqlite/CppSQLite3Row.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>

#include "store/sqlite/CppSQLite3Exception.h"

CppSQLite3Row::CppSQLite3Row(sqlite3_stmt* statement) : statement(statement) {
    const int columns = sqlite3_column_count(statement);
    uniqueNames.assign(static_cast<std::size_t>(columns), nullptr);
    followingColumn.assign(static_cast<std::size_t>(columns) + 1, -1);
    lastColumn = columns;
    for (int i = 0; i < columns; ++i) {
        if (const char* name = sqlite3_column_name(statement, i); name != nullptr) {
            // The first of equal names, as a table reads it.
            if (columnIndex.try_emplace(name, i).second) {
                uniqueNames[static_cast<std::size_t>(i)] = name;
            }
        }
    }
}

int CppSQLite3Row::Find(const char* name) const {
    if (name == nullptr) {
        return -1;
    }
    int& following = followingColumn[static_cast<std::size_t>(lastColumn)];
    if (following >= 0) {
        const char* guessed = uniqueNames[static_cast<std::size_t>(following)];
        if (guessed != nullptr && std::strcmp(guessed, name) == 0) {
            lastColumn = following;
            return following;
        }
    }
    const auto found = columnIndex.find(name);
    if (found == columnIndex.end()) {
        return -1;
    }
    following = found->second;
    lastColumn = found->second;
    return found->second;
}

const char* CppSQLite3Row::fieldValue(const char* name) const {
    const int column = Find(name);
    if (column < 0) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field name requested");
    }
    return reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
}

int CppSQLite3Row::getIntField(const char* name) const {
    const char* value = fieldValue(name);
    return value != nullptr ? std::atoi(value) : 0;
}

long long CppSQLite3Row::getInt64Field(const char* name) const {
    const int column = Find(name);
    if (column < 0) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field name requested");
    }
    return static_cast<long long>(sqlite3_column_int64(statement, column));
}

const char* CppSQLite3Row::getStringField(const char* name) const {
    const char* value = fieldValue(name);
    return value != nullptr ? value : "";
}

const int* CppSQLite3Row::columnsOf(const char* const* names, std::size_t count) const {
    for (const auto& [key, columns] : resolved) {
        if (key == names && columns.size() == count) {
            return columns.data();
        }
    }
    std::vector<int> columns(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
        if (const auto found = columnIndex.find(names[i] != nullptr ? names[i] : ""); found != columnIndex.end()) {
            columns[i] = found->second;
        }
    }
    resolved.emplace_back(names, std::move(columns));
    return resolved.back().second.data();
}

const char* CppSQLite3Row::fieldValueAt(int column, int* bytes) const {
    if (column < 0) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field name requested");
    }
    const char* value = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (bytes != nullptr) {
        *bytes = sqlite3_column_bytes(statement, column);  // after the text, as SQLite asks
    }
    return value;
}
