#pragma once
// The statement runner through which every statement of the store passes: one statement at a
// time under the store's lock, failures turned into result codes.
#include <cstdint>

#include "foundation/ResultCodes.h"

class CppSQLite3Table;
class ROrvaneDataManager;

// Modes: four characters as one integer, the first character most significant.
constexpr std::uint32_t SQL_MODE_EXEC = 0x65786563;  // "exec": run, drop the change count
constexpr std::uint32_t SQL_MODE_GTBL = 0x6774626C;  // "gtbl": fetch the whole result into table

// Returns 0, R_E_BAD_FORMAT when the statement failed (traced as "Error %d :: %s"; the caller's
// table is then left as it was), or R_E_INVALID_ARGUMENT for a null text, store, or gtbl table.
// Any other mode runs nothing and returns 0. Never throws.
RResult ExecuteSql(const char* sql, std::uint32_t mode, ROrvaneDataManager* store, CppSQLite3Table* table);
