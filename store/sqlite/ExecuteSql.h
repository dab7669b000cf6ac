#pragma once
// The statement runner through which every statement of the store passes: one statement at a
// time under the store's lock, failures turned into result codes. Safe to call from any thread.
#include <cstdint>
#include <vector>

#include "foundation/ResultCodes.h"

class CppSQLite3Table;
class ROrvaneDataManager;
struct SqlValue;

// Modes: four characters as one integer, the first character most significant.
constexpr std::uint32_t SQL_MODE_EXEC = 0x65786563;  // "exec": run, drop the change count
constexpr std::uint32_t SQL_MODE_GTBL = 0x6774626C;  // "gtbl": fetch the whole result into table

// Returns 0 or, when the statement failed (traced as "Error %d :: %s"; the caller's table is
// then left as it was): R_E_DISK_FULL when there was no room to write, R_E_DATABASE_BUSY when
// another connection held the database past the busy timeout, R_E_ACCESS_DENIED when the
// database may not be written, R_E_WRITE_FAULT for an input/output error,
// R_E_DATABASE_CORRUPT when SQLite found the file damaged, else R_E_BAD_FORMAT.
// Once any statement found the file damaged, every later exec statement but a rollback (and,
// when Open closed the connection for it, every statement) is refused with R_E_DATABASE_CORRUPT
// without being run, so nothing more is written into it.
// R_E_INVALID_ARGUMENT for a null text, store, or gtbl table. Any other mode runs nothing and
// returns 0. Never throws.
[[nodiscard]] RResult ExecuteSql(const char* sql, std::uint32_t mode, ROrvaneDataManager* store,
                                 CppSQLite3Table* table);

// Exec mode for the store's own writes (StoreTransaction): the rows the statement changed are
// counted as the store's, so that its caches can tell them from changes made by anyone else.
[[nodiscard]] RResult ExecuteStoreWrite(const char* sql, ROrvaneDataManager* store);

// The same for a statement whose '?' parameters take `values` in order (text bound as given, so
// nothing needs quoting). Its compiled form is kept by the connection, for the writes that run
// once per item of a large import. Failures as ExecuteSql's.
[[nodiscard]] RResult ExecuteStoreWrite(const char* sql, const std::vector<SqlValue>& values,
                                        ROrvaneDataManager* store);
