#pragma once
// The EXDATE values of a rule, indexed for constant-time tests: the raw values (so that adding
// one stays unique without a walk of the list) and the date-times and dates they name.
// One thread only, like the rule that holds it.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

#include "foundation/memory/RList.h"

class ExDateIndex {
public:
    // Brings the index up to date with the list: values appended since the last call are
    // indexed; a list that lost values is indexed again from its head.
    void Sync(const RList& values);
    // Forgets everything; needed before the list's nodes are freed.
    void Reset();
    bool HasRaw(std::string_view raw) const { return raw_.count(std::string(raw)) != 0; }
    // A date-time (YYYYMMDDTHHMMSS) or a date (YYYYMMDD) that some value names; a date is also
    // named by any value that names a time on that day.
    bool Names(std::string_view compact, bool dateOnly) const;

private:
    void Add(const char* raw);

    std::unordered_set<std::string> raw_;
    std::unordered_set<std::string> times_;
    std::unordered_set<std::string> dates_;
    const RListNode* last_ = nullptr;  // the last node indexed
    int indexed_ = 0;
};
