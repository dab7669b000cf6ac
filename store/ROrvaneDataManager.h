#pragma once
// The local store: one object shared by the whole program, owning the SQLite connection and
// the lock that serialises its statements. Every statement runs through ExecuteSql.
#include <cstdint>
#include <mutex>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RefCounted.h"
#include "store/sqlite/CppSQLite3DB.h"
#include "store/sqlite/ExecuteSql.h"

class ROrvaneDataManager : public RRefCounted {
public:
    ROrvaneDataManager();
    ~ROrvaneDataManager() override;

    // The connection, closed until the store is opened.
    CppSQLite3DB& Connection() { return db; }

private:
    friend RResult ExecuteSql(const char* sql, std::uint32_t mode, ROrvaneDataManager* store, CppSQLite3Table* table);

    CppSQLite3DB db{60000};
    // Made with the store, so no two threads can race to create it on their first statement.
    // A std::mutex cannot be abandoned: a thread that dies holding it is a program fault, not a
    // state to recover from, so R_E_WAIT_ABANDONED is never produced here.
    std::mutex sqlMutex;
};
