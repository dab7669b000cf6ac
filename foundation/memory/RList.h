#pragma once
// The program's one linked list: doubly linked nodes of untyped payloads (not owned by the
// list), with head, count, tail and an optional ordering callback for sorted lists.
// Threads: needs its owner's lock when more than one thread reaches it; the list takes none itself.
#include <cstdint>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RRecycled.h"

struct RListNode {
    void* payload;
    RListNode* next;
    RListNode* prev;

    // Nodes come and go with every list entry: their blocks are recycled per thread.
    static void* operator new(std::size_t size) { return recycled::Allocate(size); }
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return recycled::AllocateNoThrow(size); }
    static void operator delete(void* block, std::size_t size) noexcept { recycled::Free(block, size); }
};

// Greater than zero when `existing` must come after `added`.
using RListCompare = int (*)(const void* existing, const void* added);

struct RList {
    std::uint32_t reserved = 0;  // never read or written by the list operations
    RListNode* head = nullptr;
    std::int32_t count = 0;
    RListNode* tail = nullptr;
    RListCompare compare = nullptr;

    // 0, or R_E_OUT_OF_MEMORY when no node could be made.
    RResult AddTail(void* payload);
    // Inserts before the first node whose verdict is greater than zero (the verdict is 1 when
    // no callback is set), so equal keys keep their insertion order.
    RResult InsertSorted(void* payload);
    // Appends unless the callback finds an equal payload (callback result 0); a list without a
    // callback accepts every value. Returns 0 in both cases, or R_E_OUT_OF_MEMORY. The list
    // keeps only what it appends: a caller that hands over an owned value checks `count` to
    // know whether it must free the value itself.
    RResult AddUnique(void* value);
    // Deletes every node (payloads untouched) and clears head, tail and count; returns 0.
    RResult RemoveAll();
    // Deletes every node (payloads untouched) and clears head and tail but leaves count as it was.
    void FreeNodes();

    // The node at a 0-based position, or null when the position is out of range.
    RListNode* NodeAt(int index) const;
    void* PayloadAt(int index) const;
    // Unlinks and deletes the node at a position; returns its payload, or null when out of range.
    void* RemoveAt(int index);
};
