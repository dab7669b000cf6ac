#pragma once
// One write of the store that lands whole or not at all. The outermost transaction of a thread
// begins IMMEDIATE (taking the database's write lock at once, waiting up to the busy timeout for
// another connection to let go of it), so a write never meets a busy database halfway through.
// Transactions made while one is open (an add run by an import, say) join it; the first failed
// statement in any of them fails the whole: the outermost one then rolls everything back.
//
// Belongs to the thread that made it. It holds the store's write lock for its life, so the
// writes of other threads wait for it instead of joining work that may be rolled back.
#include <vector>

#include "foundation/ResultCodes.h"
#include "store/ROrvaneDataManager.h"

class ORVANE_SCOPED_CAPABILITY StoreTransaction {
public:
    explicit StoreTransaction(ROrvaneDataManager& store) ORVANE_ACQUIRE(store.writeMutex);
    // Rolls back an outermost transaction that was not committed.
    ~StoreTransaction() ORVANE_RELEASE();
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;

    // Runs one statement; after a failure (this statement's or an earlier one's) nothing more
    // runs and the failure is returned.
    [[nodiscard]] RResult Exec(const char* sql);
    // The same for a statement whose '?' parameters take `values` (see ExecuteStoreWrite).
    [[nodiscard]] RResult Exec(const char* sql, const std::vector<SqlValue>& values);
    // Outermost: commits when nothing failed, else rolls back; returns 0 or the failure. Joined:
    // returns the failure so far, and the outermost transaction decides.
    [[nodiscard]] RResult Commit();
    // The first failure of the whole transaction so far, or 0.
    RResult Failure() const;
    // Marks the transaction failed with `result` (a step that is no statement, such as making a
    // folder, failed), so that it is rolled back. Returns `result`.
    RResult Fail(RResult result);

    // What the transaction changes, for the store's caches once it is committed: the item rows
    // of one guid in an account, every item row of an account, or any item row.
    void TouchItems(const char* accountGuid, const char* guid);
    void TouchAccount(const char* accountGuid);
    void TouchAll();

private:
    RResult Finish(bool commit);

    ROrvaneDataManager& store;
    bool outermost = false;
    bool finished = false;
};
