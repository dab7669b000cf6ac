#include "ical/model/RIcsStringSet.h"

bool RIcsStringSet::Add(std::string_view text) {
    // A few texts are compared in order: a repeated one then costs no node made and dropped.
    constexpr std::size_t kScanned = 8;
    if (order_.size() <= kScanned) {
        for (const std::string* held : order_) {
            if (*held == text) {
                return false;
            }
        }
    }
    auto [it, added] = items_.emplace(text);
    if (added) {
        order_.push_back(&*it);
    }
    return added;
}

bool RIcsStringSet::Contains(std::string_view text) const {
    return items_.find(std::string(text)) != items_.end();
}

void RIcsStringSet::Clear() {
    order_.clear();
    items_.clear();
}
