#include "store/sqlite/StoreTransaction.h"

#include "store/ROrvaneDataManager.h"
#include "store/sqlite/ExecuteSql.h"

StoreTransaction::StoreTransaction(ROrvaneDataManager& store) : store(store) {
    store.writeMutex.lock();
    outermost = store.writeDepth++ == 0;
    if (outermost) {
        store.writeFailure = ExecuteSql("begin immediate;", SQL_MODE_EXEC, &store, nullptr);
        store.writeTouches = WriteTouches{};
    }
}

StoreTransaction::~StoreTransaction() {
    if (!finished) {
        static_cast<void>(Finish(false));  // nothing to report: the caller is already leaving
    }
    store.writeMutex.unlock();
}

RResult StoreTransaction::Exec(const char* sql) {
    store.writeMutex.AssertHeld();  // taken by the constructor
    if (store.writeFailure != R_OK) {
        return store.writeFailure;
    }
    return Fail(ExecuteStoreWrite(sql, &store));
}

RResult StoreTransaction::Exec(const char* sql, const std::vector<SqlValue>& values) {
    store.writeMutex.AssertHeld();  // taken by the constructor
    if (store.writeFailure != R_OK) {
        return store.writeFailure;
    }
    return Fail(ExecuteStoreWrite(sql, values, &store));
}

RResult StoreTransaction::Commit() {
    store.writeMutex.AssertHeld();  // taken by the constructor
    return finished ? store.writeFailure : Finish(true);
}

RResult StoreTransaction::Failure() const {
    store.writeMutex.AssertHeld();  // taken by the constructor
    return store.writeFailure;
}

RResult StoreTransaction::Fail(RResult result) {
    store.writeMutex.AssertHeld();  // taken by the constructor
    if (result != R_OK && store.writeFailure == R_OK) {
        store.writeFailure = result;
    }
    return result;
}

void StoreTransaction::TouchItems(const char* accountGuid, const char* guid) {
    store.writeMutex.AssertHeld();  // taken by the constructor
    store.writeTouches.items.emplace(accountGuid != nullptr ? accountGuid : "", guid != nullptr ? guid : "");
}

void StoreTransaction::TouchAccount(const char* accountGuid) {
    store.writeMutex.AssertHeld();  // taken by the constructor
    store.writeTouches.accounts.emplace(accountGuid != nullptr ? accountGuid : "");
}

void StoreTransaction::TouchAll() {
    store.writeMutex.AssertHeld();  // taken by the constructor
    store.writeTouches.all = true;
}

RResult StoreTransaction::Finish(bool commit) {
    store.writeMutex.AssertHeld();  // taken by the constructor
    finished = true;
    --store.writeDepth;
    if (!outermost) {
        // The outermost transaction commits or rolls back for all; a joined one only reports.
        return store.writeFailure;
    }
    RResult result = store.writeFailure;
    if (commit && result == R_OK) {
        result = ExecuteSql("commit;", SQL_MODE_EXEC, &store, nullptr);
    } else if (result == R_OK) {
        // Left without a commit (an early return or an exception): nothing of it may stay.
        result = R_E_BAD_FORMAT;
    }
    const bool committed = commit && result == R_OK;
    if (!committed) {
        // SQLite has already undone the transaction itself after some failures (a full disk,
        // an input/output error); the rollback then finds nothing to undo, which is no fault.
        static_cast<void>(ExecuteSql("rollback;", SQL_MODE_EXEC, &store, nullptr));
    }
    store.AfterWrite(committed, store.writeTouches);
    store.writeTouches = WriteTouches{};
    store.writeFailure = R_OK;
    return result;
}
