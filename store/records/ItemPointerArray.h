#pragma once
// The date-range query's result: a heap buffer of pointers to CalendarItemRecord, size / sizeof
// pointer entries. The array owns the records; ROrvaneDataManager::FreeCalendarItemList frees them.
// Belongs to the thread that holds it (the month view keeps it on the user-interface thread).
#include "foundation/memory/RHeapBuffer.h"
#include "store/records/CalendarItemRecord.h"

using ItemPointerArray = RHeapBuffer;

inline int ItemCount(const ItemPointerArray* list) {
    // NOLINTNEXTLINE(bugprone-sizeof-expression): the list holds pointers, so its entries are pointer-sized
    return list != nullptr && list->size > 0 ? list->size / static_cast<int>(sizeof(CalendarItemRecord*)) : 0;
}

inline CalendarItemRecord* ItemAt(const ItemPointerArray* list, int index) {
    return reinterpret_cast<CalendarItemRecord* const*>(list->data)[index];
}
