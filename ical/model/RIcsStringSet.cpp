#include "ical/model/RIcsStringSet.h"

bool RIcsStringSet::Add(std::string_view text) {
    if (!held_) {
        held_.reset(new Held);  // default-initialised: every member has its initialiser, so no zeroing first
    }
    Held& held = *held_;
    const std::size_t count = held.Count();
    if (count < kFew) {
        for (std::size_t i = 0; i < count; ++i) {
            if (held.few[i] == text) {
                return false;
            }
        }
        held.few[count].assign(text);
        held.fewOrder[count] = &held.few[count];
        held.fewCount = count + 1;
        return true;
    }
    if (held.order.empty()) {
        held.order.assign(held.fewOrder.begin(), held.fewOrder.end());  // the list takes over
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
    if (held.order.empty()) {
        for (std::size_t i = 0; i < held.fewCount; ++i) {
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
        held_->fewCount = 0;
    }
}
