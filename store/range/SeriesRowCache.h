#pragma once
// The repeating and exception rows of each account, kept between date-range queries. Finding
// them takes a scan of the whole item table (no index serves "has a rule"), which would make
// every month drawn cost as much as the store is large; the rows are fetched again only after
// some row of the database has changed.
#include <string>
#include <unordered_map>

#include "store/range/SeriesExpansion.h"
#include "store/sqlite/CppSQLite3Table.h"

struct SeriesRows {
    long long stamp = -1;  // the database's change stamp when the rows were fetched
    CppSQLite3Table rows;
    ExceptionRowIndex exceptions;
};

struct SeriesRowCache {
    std::unordered_map<std::string, SeriesRows> byAccount;
};
