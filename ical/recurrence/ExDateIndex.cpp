#include "ical/recurrence/ExDateIndex.h"

#include <cctype>

void ExDateIndex::Reset() {
    raw_.clear();
    times_.clear();
    dates_.clear();
    last_ = nullptr;
    indexed_ = 0;
}

void ExDateIndex::Sync(const RList& values) {
    if (values.count < indexed_) {
        Reset();
    }
    const RListNode* node = last_ != nullptr ? last_->next : values.head;
    for (; node != nullptr; node = node->next) {
        Add(static_cast<const char*>(node->payload));
        last_ = node;
        ++indexed_;
    }
}

void ExDateIndex::Add(const char* raw) {
    if (raw == nullptr) {
        return;
    }
    const std::string_view text(raw);
    raw_.emplace(text);
    // Parameters end at the last ':' (TZID="(UTC+01:00) Paris":...); the value is a list.
    const std::size_t colon = text.rfind(':');
    std::string_view list = colon == std::string_view::npos ? text : text.substr(colon + 1);
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front()))) {
            item.remove_prefix(1);
        }
        while (!item.empty() && (std::isspace(static_cast<unsigned char>(item.back())) || item.back() == 'Z')) {
            item.remove_suffix(1);
        }
        if (item.size() >= 8) {
            dates_.emplace(item.substr(0, 8));
        }
        if (item.size() >= 15) {
            times_.emplace(item.substr(0, 15));
        }
    }
}

bool ExDateIndex::Names(std::string_view compact, bool dateOnly) const {
    return dateOnly ? dates_.count(std::string(compact)) != 0 : times_.count(std::string(compact)) != 0;
}
