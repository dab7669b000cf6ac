#pragma once
// A select whose failure the caller does not handle itself: the statement runner traces the
// failure, and the access layer's exception "Null Results pointer" (code 1000) goes to the
// caller, as it would from reading a table that was never filled.
class CppSQLite3Table;
class ROrvaneDataManager;

void SelectRows(const char* sql, ROrvaneDataManager* store, CppSQLite3Table& table);
