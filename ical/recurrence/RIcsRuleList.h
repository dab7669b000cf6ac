#pragma once
// A rule part's integer list, sized to what the rule text holds: empty lists cost one pointer,
// and a list reads as a 0-terminated array (a list is present when its first entry is not 0).
// One thread only, like the rule that holds it.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/memory/RRecycled.h"

// Lists are made and dropped with every rule a parse reads: their blocks are recycled.
struct RIcsRuleListFree {
    std::size_t bytes = 0;
    void operator()(std::int32_t* entries) const noexcept { recycled::Free(entries, bytes); }
};

class RIcsRuleList {
public:
    RIcsRuleList() = default;
    RIcsRuleList(const RIcsRuleList&) = delete;
    RIcsRuleList& operator=(const RIcsRuleList&) = delete;

    // The entries followed by 0.
    operator const std::int32_t*() const { return entries_ ? entries_.get() : &kEmpty; }
    std::size_t Count() const { return count_; }
    // Replaces the entries; 0 entries are left out, since 0 ends the list.
    void Assign(const std::int32_t* values, std::size_t count);
    void Clear() {
        entries_.reset();
        count_ = 0;
    }

private:
    static constexpr std::int32_t kEmpty = 0;
    std::unique_ptr<std::int32_t[], RIcsRuleListFree> entries_;
    std::size_t count_ = 0;
};
