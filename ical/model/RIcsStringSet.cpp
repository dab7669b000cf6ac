#include "ical/model/RIcsStringSet.h"

const std::vector<const std::string*> RIcsStringSet::kNoOrder;

RIcsStringSet::~RIcsStringSet() = default;

bool RIcsStringSet::Add(std::string_view text) {
    if (!held_) {
        held_ = std::make_unique<Held>();
    }
    std::vector<const std::string*>& order = held_->order;
    // A few texts are compared in order: a repeated one then costs no node made and dropped.
    constexpr std::size_t kScanned = 8;
    if (order.size() <= kScanned) {
        for (const std::string* held : order) {
            if (*held == text) {
                return false;
            }
        }
    }
    auto [it, added] = held_->items.emplace(text);
    if (added) {
        order.push_back(&*it);
    }
    return added;
}

bool RIcsStringSet::Contains(std::string_view text) const {
    return held_ && held_->items.find(std::string(text)) != held_->items.end();
}

void RIcsStringSet::Clear() {
    if (held_) {
        held_->order.clear();
        held_->items.clear();
    }
}
