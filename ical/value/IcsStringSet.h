#pragma once
// String sets of the codec (EXDATE values, TZIDs): RLists of char* with a byte-order
// comparison callback, unique by RList::AddUnique.
// Needs its owner's lock: a set is part of the object that holds it.
#include "foundation/memory/RList.h"

// Byte-order comparison of two NUL-terminated strings; the callback of every string set.
int CompareSetStrings(const void* existing, const void* added);

// Frees the nodes of a string set, not the strings, and leaves the set empty.
void FreeListNodes(RList* list);
