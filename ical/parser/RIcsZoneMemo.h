#pragma once
// The zones parsed from VTIMEZONE blocks, remembered by the blocks' raw text: a block that is
// byte for byte one already parsed shares that zone instead of being parsed again. Servers send
// every resource with the zones it uses, the same text each time, so a caller that parses many
// resources in a row hands one memo to each RIcsComponent::Parse and drops it with them.
// Threads: one thread only, and so are the zones it hands out: every calendar parsed with the
// memo shares them, and their caches (GetText and the like) are built on first use without a lock.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/memory/RRef.h"
#include "ical/model/RIcsTimeZone.h"

class RIcsZoneMemo {
public:
    RIcsZoneMemo() = default;
    RIcsZoneMemo(const RIcsZoneMemo&) = delete;
    RIcsZoneMemo& operator=(const RIcsZoneMemo&) = delete;

    // The zone parsed from `block` (the text after a BEGIN:VTIMEZONE line through its END line)
    // at the same nesting depth and under the same default zone of the calendar, or null.
    RIcsTimeZone* Find(std::string_view block, int depth, const std::optional<std::string>& defaultZone) const;
    // Remembers the zone parsed from `block`, holding a reference to it. Beyond kMaxBlocks
    // distinct blocks, or with memory running short, it is left out: such a block is then parsed
    // each time, as without the memo.
    void Remember(std::string_view block, int depth, const std::optional<std::string>& defaultZone,
                  RIcsTimeZone* zone) noexcept;

    // The number of distinct blocks remembered.
    std::size_t Size() const { return entries_.size(); }

    // A round of resources uses a handful of zones; the bound keeps each look-up to a few length
    // checks and comparisons, and the memory held small, whatever the texts hold.
    static constexpr std::size_t kMaxBlocks = 32;

private:
    struct Entry {
        std::string block;
        int depth = 0;
        std::optional<std::string> defaultZone;
        RRef<RIcsTimeZone> zone;
    };
    std::vector<Entry> entries_;
};
