#include "store/sqlite/CppSQLite3Exception.h"

#include <utility>

#include <sqlite3.h>

CppSQLite3Exception::CppSQLite3Exception(int code, const char* detail)
    : code(code), message(sqlite3_mprintf("%s[%d]: %s", errorCodeAsString(code), code, detail ? detail : "")) {}

CppSQLite3Exception::CppSQLite3Exception(const CppSQLite3Exception& other)
    : code(other.code), message(other.message != nullptr ? sqlite3_mprintf("%s", other.message) : nullptr) {}

CppSQLite3Exception& CppSQLite3Exception::operator=(const CppSQLite3Exception& other) {
    // Copy first, then swap, so that self-assignment and a failed copy leave no dangling text.
    CppSQLite3Exception copy(other);
    std::swap(code, copy.code);
    std::swap(message, copy.message);
    return *this;
}

CppSQLite3Exception::~CppSQLite3Exception() { sqlite3_free(message); }

const char* CppSQLite3Exception::errorCodeAsString(int code) {
    static const char* const primaryNames[] = {
        "SQLITE_OK",       "SQLITE_ERROR",     "SQLITE_INTERNAL", "SQLITE_PERM",     "SQLITE_ABORT",
        "SQLITE_BUSY",     "SQLITE_LOCKED",    "SQLITE_NOMEM",    "SQLITE_READONLY", "SQLITE_INTERRUPT",
        "SQLITE_IOERR",    "SQLITE_CORRUPT",   "SQLITE_NOTFOUND", "SQLITE_FULL",     "SQLITE_CANTOPEN",
        "SQLITE_PROTOCOL", "SQLITE_EMPTY",     "SQLITE_SCHEMA",   "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT",
        "SQLITE_MISMATCH", "SQLITE_MISUSE",    "SQLITE_NOLFS",    "SQLITE_AUTH",     "SQLITE_FORMAT",
        "SQLITE_RANGE",
    };
    constexpr int primaryCount = static_cast<int>(sizeof(primaryNames) / sizeof(primaryNames[0]));
    if (code >= 0 && code < primaryCount) {
        return primaryNames[code];
    }
    switch (code) {
        case 100: return "SQLITE_ROW";
        case 101: return "SQLITE_DONE";
        case CPPSQLITE_ERROR: return "CPPSQLITE_ERROR";
        default: return "UNKNOWN_ERROR";
    }
}
