#pragma once
// Builders of the column, value and assignment lists of the store's INSERT and UPDATE texts.
// Each appends to a comma-separated list ("a, b, c") held by the caller. Text values are always
// quoted, numbers never. Values are C strings, so text after an embedded NUL cannot reach the SQL.
#include "platform/string/CString.h"

// '<text>' with every apostrophe doubled; null gives ''. For values placed in WHERE clauses.
CStringA SqlQuote(const char* text);

// Nothing for an empty name.
void AppendSqlColumnName(CStringA& list, const char* name);
void AppendSqlTextValue(CStringA& list, const char* value);
void AppendSqlIntValue(CStringA& list, int value);
// Three decimals with a '.', whatever the process locale.
void AppendSqlRealValue(CStringA& list, double value);

// name = '<value>', name = <int>, name = <real>; nothing for an empty name.
void AppendSqlTextAssignment(CStringA& list, const char* name, const char* value);
void AppendSqlIntAssignment(CStringA& list, const char* name, int value);
void AppendSqlRealAssignment(CStringA& list, const char* name, double value);

// A column and its value appended side by side to an INSERT's two lists. Text columns are
// listed only when their value is non-empty; number columns always.
void AppendSqlTextColumn(CStringA& columns, CStringA& values, const char* name, const char* value);
void AppendSqlIntColumn(CStringA& columns, CStringA& values, const char* name, int value);
void AppendSqlRealColumn(CStringA& columns, CStringA& values, const char* name, double value);
