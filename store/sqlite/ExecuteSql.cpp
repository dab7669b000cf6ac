#include "store/sqlite/ExecuteSql.h"

#include <mutex>

#include "foundation/debug/DebugTrace.h"
#include "store/ROrvaneDataManager.h"
#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Table.h"

RResult ExecuteSql(const char* sql, std::uint32_t mode, ROrvaneDataManager* store, CppSQLite3Table* table) {
    if (sql == nullptr || store == nullptr || (mode == SQL_MODE_GTBL && table == nullptr)) {
        return R_E_INVALID_ARGUMENT;
    }
    try {
        // Held for the whole statement; the guard releases it on every way out.
        std::lock_guard<std::mutex> lock(store->sqlMutex);
        switch (mode) {
            case SQL_MODE_EXEC:
                store->db.execDML(sql);
                break;
            case SQL_MODE_GTBL:
                // The caller's table changes only once the fetch has succeeded.
                *table = store->db.getTable(sql);
                break;
            default:
                break;
        }
        return 0;
    } catch (const CppSQLite3Exception& error) {
        DebugTrace("Error %d :: %s", error.errorCode(), error.errorMessage());
        return R_E_BAD_FORMAT;
    } catch (...) {
        return R_E_BAD_FORMAT;
    }
}
