#include "ical/parser/RIcsZoneMemo.h"

#include <functional>
#include <new>
#include <utility>

RIcsTimeZone* RIcsZoneMemo::Find(std::string_view block, int depth,
                                 const std::optional<std::string>& defaultZone) const {
    if (entries_.empty()) {
        return nullptr;
    }
    const auto [first, last] = entries_.equal_range(std::hash<std::string_view>{}(block));
    for (auto it = first; it != last; ++it) {
        const Entry& entry = it->second;
        if (entry.depth == depth && entry.block == block && entry.defaultZone == defaultZone) {
            return entry.zone.get();
        }
    }
    return nullptr;
}

void RIcsZoneMemo::Remember(std::string_view block, int depth, const std::optional<std::string>& defaultZone,
                            RIcsTimeZone* zone) noexcept {
    if (zone == nullptr) {
        return;
    }
    try {
        entries_.emplace(std::hash<std::string_view>{}(block),
                         Entry{std::string(block), depth, defaultZone, RRef<RIcsTimeZone>::Share(zone)});
    } catch (const std::bad_alloc&) {
        // Not remembered: the parse that made the zone is unaffected.
    }
}
