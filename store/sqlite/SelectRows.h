#pragma once
// A select whose failure the caller does not handle itself: the statement runner traces the
// failure, and the access layer's exception "Null Results pointer" (code 1000) goes to the
// caller, as it would from reading a table that was never filled.
#include "foundation/ResultCodes.h"
#include "store/sqlite/CppSQLite3Table.h"

class ROrvaneDataManager;

void SelectRows(const char* sql, ROrvaneDataManager* store, CppSQLite3Table& table);

// Reads the selected rows in order into `out` with `read` until `matches` accepts one: 0, else
// STG_E_PATHNOTFOUND with `out` holding the last row read (unchanged when there was none).
template <typename Record, typename Read, typename Match>
RResult FindFirstRow(const char* sql, ROrvaneDataManager* store, Record* out, Read read, Match matches) {
    CppSQLite3Table table;
    SelectRows(sql, store, table);
    for (int row = 0; row < table.numRows(); ++row) {
        table.setRow(row);
        read(table, out);
        if (matches(*out)) {
            return R_OK;
        }
    }
    return STG_E_PATHNOTFOUND;
}
