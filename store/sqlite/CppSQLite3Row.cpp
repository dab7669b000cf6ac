#include "store/sqlite/CppSQLite3Row.h"

#include <sqlite3.h>

#include <cstdlib>

#include "store/sqlite/CppSQLite3Exception.h"

CppSQLite3Row::CppSQLite3Row(sqlite3_stmt* statement) : statement(statement) {
    const int columns = sqlite3_column_count(statement);
    for (int i = 0; i < columns; ++i) {
        if (const char* name = sqlite3_column_name(statement, i); name != nullptr) {
            columnIndex.try_emplace(name, i);  // the first of equal names, as a table reads it
        }
    }
}

const char* CppSQLite3Row::fieldValue(const char* name) const {
    const auto found = name != nullptr ? columnIndex.find(name) : columnIndex.end();
    if (found == columnIndex.end()) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field name requested");
    }
    return reinterpret_cast<const char*>(sqlite3_column_text(statement, found->second));
}

int CppSQLite3Row::getIntField(const char* name) const {
    const char* value = fieldValue(name);
    return value != nullptr ? std::atoi(value) : 0;
}

const char* CppSQLite3Row::getStringField(const char* name) const {
    const char* value = fieldValue(name);
    return value != nullptr ? value : "";
}
