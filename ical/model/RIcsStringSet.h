#pragma once
// A set of texts that keeps insertion order and refuses duplicates (byte comparison); used for
// the raw EXDATE values of a component and the zone identifiers its events refer to.
// Needs its owner's lock: it is part of the component that holds it.
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "foundation/memory/RRecycled.h"

class RIcsStringSet {
public:
    RIcsStringSet() = default;
    ~RIcsStringSet() = default;
    // The order holds pointers into the set's own nodes: a copy would point into the original.
    RIcsStringSet(const RIcsStringSet&) = delete;
    RIcsStringSet& operator=(const RIcsStringSet&) = delete;

    // True when the text was added, false when an equal text is already held.
    bool Add(std::string_view text);
    bool Contains(std::string_view text) const;
    void Clear();
    std::size_t Count() const { return held_ ? held_->Count() : 0; }
    bool IsEmpty() const { return Count() == 0; }
    const std::string& At(std::size_t index) const { return *begin()[index]; }
    // The texts in the order they were added.
    const std::string* const* begin() const { return held_ ? held_->Order() : nullptr; }
    const std::string* const* end() const { return held_ ? held_->Order() + held_->Count() : nullptr; }

private:
    // The first texts are kept in place and compared in order; a hashed index is made only for
    // a set that outgrows them (a component's zone ids are one or two, its EXDATEs may be many).
    static constexpr std::size_t kFew = 8;
    struct Held : RRecycled {  // made and freed with every component that holds a text
        std::array<std::string, kFew> few;       // the first kFew texts, in order
        std::array<const std::string*, kFew> fewOrder{};  // into few, while the set fits there
        std::size_t fewCount = 0;
        std::unordered_set<std::string> items;  // every text once the set has more than kFew
        // Into few and items, whose elements never move; filled only when the set outgrows few,
        // so that a small set allocates nothing of its own.
        std::vector<const std::string*> order;

        std::size_t Count() const { return order.empty() ? fewCount : order.size(); }
        const std::string* const* Order() const { return order.empty() ? fewOrder.data() : order.data(); }
    };
    // Made by the first Add: most components never hold a text, and an empty set then costs
    // one pointer to make and destroy.
    std::unique_ptr<Held> held_;
};
