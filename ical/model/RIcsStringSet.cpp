#include "ical/model/RIcsStringSet.h"

bool RIcsStringSet::Add(std::string_view text) {
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
