#include "ical/recurrence/RIcsRuleList.h"

#include <new>

void RIcsRuleList::Assign(const std::int32_t* values, std::size_t count) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        kept += values[i] != 0 ? 1 : 0;
    }
    if (kept == 0) {
        Clear();
        return;
    }
    const std::size_t bytes = (kept + 1) * sizeof(std::int32_t);
    std::unique_ptr<std::int32_t[], RIcsRuleListFree> entries(
        static_cast<std::int32_t*>(recycled::AllocateNoThrow(bytes)), RIcsRuleListFree{bytes});
    if (!entries) {
        Clear();  // no memory: the part is dropped rather than half kept
        return;
    }
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (values[i] != 0) {
            entries[at++] = values[i];
        }
    }
    entries[at] = 0;
    entries_ = std::move(entries);
    count_ = kept;
}
