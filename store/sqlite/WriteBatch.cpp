#include "store/ROrvaneDataManager.h"
#include "store/sqlite/StoreTransaction.h"

ROrvaneDataManager::WriteBatch::WriteBatch(ROrvaneDataManager& store) : transaction(new StoreTransaction(store)) {}

ROrvaneDataManager::WriteBatch::~WriteBatch() = default;

RResult ROrvaneDataManager::WriteBatch::Commit() { return transaction->Commit(); }
