#pragma once
// What one committed write changed among the item rows, for the caches that hold item rows:
// the rows of one guid in an account, every row of an account, or any row at all.
// A plain value; belongs to the thread that fills it.
#include <set>
#include <string>
#include <utility>

struct WriteTouches {
    std::set<std::pair<std::string, std::string>> items;  // (account guid, item guid)
    std::set<std::string> accounts;
    bool all = false;  // any item row may have changed
};
