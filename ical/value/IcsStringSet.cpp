#include "ical/value/IcsStringSet.h"

#include <cstring>

int CompareSetStrings(const void* existing, const void* added) {
    const int c = std::strcmp(static_cast<const char*>(existing), static_cast<const char*>(added));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void FreeListNodes(RList* list) {
    if (list == nullptr) {
        return;
    }
    list->FreeNodes();
    list->count = 0;
}
