#include "store/sqlite/SelectRows.h"

#include "store/ROrvaneDataManager.h"
#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Table.h"

void SelectRows(const char* sql, ROrvaneDataManager* store, CppSQLite3Table& table) {
    if (ExecuteSql(sql, SQL_MODE_GTBL, store, &table) != R_OK) {
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Results pointer");
    }
}
