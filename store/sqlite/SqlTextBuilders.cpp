#include "store/sqlite/SqlTextBuilders.h"

#include <charconv>
#include <cmath>

namespace {

void AppendSeparator(CStringA& list) {
    if (!list.IsEmpty()) {
        list += ", ";
    }
}

void AppendQuoted(CStringA& list, const char* text) {
    list += '\'';
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        if (*p == '\'') {
            list += '\'';
        }
        list += *p;
    }
    list += '\'';
}

// printf's "%.3f" follows LC_NUMERIC, and a decimal comma would split one value into two.
// Non-finite numbers have no SQL literal: NaN is stored as NULL (as SQLite stores it anyway)
// and infinities as the overflowing literal that SQLite reads back as infinity.
void AppendReal(CStringA& list, double value) {
    if (std::isnan(value)) {
        list += "NULL";
        return;
    }
    if (std::isinf(value)) {
        list += value > 0 ? "9e999" : "-9e999";
        return;
    }
    char text[400];  // the largest double in fixed notation needs 309 digits, a sign and ".000"
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3).ptr;
    list.Append(text, static_cast<int>(end - text));
}

void AppendInt(CStringA& list, int value) {
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    list.Append(text, static_cast<int>(end - text));
}

bool IsEmptyName(const char* name) { return name == nullptr || *name == '\0'; }

}  // namespace

CStringA SqlQuote(const char* text) {
    CStringA quoted;
    AppendQuoted(quoted, text);
    return quoted;
}

void AppendSqlColumnName(CStringA& list, const char* name) {
    if (IsEmptyName(name)) {
        return;
    }
    AppendSeparator(list);
    list += name;
}

void AppendSqlTextValue(CStringA& list, const char* value) {
    AppendSeparator(list);
    AppendQuoted(list, value);
}

void AppendSqlIntValue(CStringA& list, int value) {
    AppendSeparator(list);
    AppendInt(list, value);
}

void AppendSqlRealValue(CStringA& list, double value) {
    AppendSeparator(list);
    AppendReal(list, value);
}

void AppendSqlTextAssignment(CStringA& list, const char* name, const char* value) {
    if (IsEmptyName(name)) {
        return;
    }
    AppendSeparator(list);
    list += name;
    list += " = ";
    AppendQuoted(list, value);
}

void AppendSqlIntAssignment(CStringA& list, const char* name, int value) {
    if (IsEmptyName(name)) {
        return;
    }
    AppendSeparator(list);
    list += name;
    list += " = ";
    AppendInt(list, value);
}

void AppendSqlRealAssignment(CStringA& list, const char* name, double value) {
    if (IsEmptyName(name)) {
        return;
    }
    AppendSeparator(list);
    list += name;
    list += " = ";
    AppendReal(list, value);
}

void AppendSqlTextColumn(CStringA& columns, CStringA& values, const char* name, const char* value) {
    if (value != nullptr && value[0] != '\0') {
        AppendSqlColumnName(columns, name);
        AppendSqlTextValue(values, value);
    }
}

void AppendSqlIntColumn(CStringA& columns, CStringA& values, const char* name, int value) {
    AppendSqlColumnName(columns, name);
    AppendSqlIntValue(values, value);
}

void AppendSqlRealColumn(CStringA& columns, CStringA& values, const char* name, double value) {
    AppendSqlColumnName(columns, name);
    AppendSqlRealValue(values, value);
}
