#include "ical/parser/RIcsZoneMemo.h"

#include <cstring>
#include <new>

RIcsTimeZone* RIcsZoneMemo::Find(std::string_view block, int depth,
                                 const std::optional<std::string>& defaultZone) const {
    for (const Entry& entry : entries_) {
        // The length first: it tells most distinct blocks apart without reading them.
        if (entry.block.size() == block.size() && entry.depth == depth &&
            std::memcmp(entry.block.data(), block.data(), block.size()) == 0 && entry.defaultZone == defaultZone) {
            return entry.zone.get();
        }
    }
    return nullptr;
}

void RIcsZoneMemo::Remember(std::string_view block, int depth, const std::optional<std::string>& defaultZone,
                            RIcsTimeZone* zone) noexcept {
    if (zone == nullptr || entries_.size() >= kMaxBlocks) {
        return;
    }
    try {
        entries_.push_back(Entry{std::string(block), depth, defaultZone, RRef<RIcsTimeZone>::Share(zone)});
    } catch (const std::bad_alloc&) {
        // Not remembered: the parse that made the zone is unaffected.
    }
}
