#pragma once
// A set of texts that keeps insertion order and refuses duplicates (byte comparison); used for
// the raw EXDATE values of a component and the zone identifiers its events refer to.
// Needs its owner's lock: it is part of the component that holds it.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class RIcsStringSet {
public:
    // True when the text was added, false when an equal text is already held.
    bool Add(std::string_view text);
    bool Contains(std::string_view text) const;
    void Clear();

    std::size_t Count() const { return order_.size(); }
    bool IsEmpty() const { return order_.empty(); }
    const std::string& At(std::size_t index) const { return *order_[index]; }

    auto begin() const { return order_.begin(); }
    auto end() const { return order_.end(); }

private:
    std::unordered_set<std::string> items_;  // node-based: the pointers in order_ stay valid
    std::vector<const std::string*> order_;
};
