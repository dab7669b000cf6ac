#include "ical/model/RIcsStringSet.h"

const std::vector<const std::string*> RIcsStringSet::kNoOrder;

bool RIcsStringSet::Add(std::string_view text) {
    if (!held_) {
        held_ = std::make_unique<Held>();
        held_->order.reserve(kFew);
    }
    Held& held = *held_;
    const std::size_t count = held.order.size();
    if (count < kFew) {
        for (std::size_t i = 0; i < count; ++i) {
            if (held.few[i] == text) {
                return false;
            }
        }
        held.few[count].assign(text);
        held.order.push_back(&held.few[count]);
        return true;
    }
    if (held.items.empty()) {
        try {
            held.items.insert(held.few.begin(), held.few.end());  // the index takes over from the scan
        } catch (...) {
            held.items.clear();  // a partial index would let a repeated text in
            throw;
        }
    }
    auto [it, added] = held.items.emplace(text);
    if (added) {
        try {
            held.order.push_back(&*it);
        } catch (...) {
            held.items.erase(it);  // a text is held in both or in neither
            throw;
        }
    }
    return added;
}

bool RIcsStringSet::Contains(std::string_view text) const {
    if (!held_) {
        return false;
    }
    const Held& held = *held_;
    if (held.order.size() <= kFew) {
        for (std::size_t i = 0; i < held.order.size(); ++i) {
            if (held.few[i] == text) {
                return true;
            }
        }
        return false;
    }
    return held.items.find(std::string(text)) != held.items.end();
}

void RIcsStringSet::Clear() {
    if (held_) {
        held_->order.clear();
        held_->items.clear();
    }
}
