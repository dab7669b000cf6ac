#pragma once
// The one exception of the SQLite access layer: an SQLite result code (or 1000 for a failure
// the layer finds itself) and the message "<code name>[<code>]: <detail>".
// A plain value: belongs to the thread that caught it.

// The code of failures detected by the access layer rather than by SQLite.
constexpr int CPPSQLITE_ERROR = 1000;

class CppSQLite3Exception {
public:
    // detail may be null; the message then ends after ": ".
    CppSQLite3Exception(int code, const char* detail);
    CppSQLite3Exception(const CppSQLite3Exception& other);
    CppSQLite3Exception& operator=(const CppSQLite3Exception& other);
    virtual ~CppSQLite3Exception();

    int errorCode() const { return code; }
    // Never null: the empty text when the message could not be allocated.
    const char* errorMessage() const { return message != nullptr ? message : ""; }

    // SQLite's name of a primary result code, "CPPSQLITE_ERROR" for 1000, else "UNKNOWN_ERROR".
    static const char* errorCodeAsString(int code);

private:
    int code;
    char* message;  // from sqlite3_mprintf, freed with sqlite3_free
};
