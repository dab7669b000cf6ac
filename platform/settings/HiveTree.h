#pragma once
// The in-memory form of the current user's hive: a tree of keys, each with its values.
// Names match without regard to ASCII letter case and keep the case they were created with.
// Threads: needs its owner's lock (a tree is loaded, changed and saved under the hive's mutex).
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"

namespace platform::hive {

struct HiveValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
};

// The lookup form of a name: ASCII letters folded to lower case.
std::u16string FoldName(std::u16string_view name);

class HiveKey {
public:
    explicit HiveKey(std::u16string name = {}) : name_(std::move(name)) {}

    const std::u16string& Name() const { return name_; }

    HiveKey* FindSubkey(std::u16string_view name);
    const HiveKey* FindSubkey(std::u16string_view name) const;
    // The existing subkey of that name, or a new one.
    HiveKey& GetOrAddSubkey(std::u16string_view name);
    bool RemoveSubkey(std::u16string_view name);
    size_t SubkeyCount() const { return subkeys_.size(); }
    // Subkeys in folded-name order; nullptr past the end.
    const HiveKey* SubkeyAt(size_t index) const;

    const HiveValue* FindValue(std::u16string_view name) const;
    void SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data);
    bool RemoveValue(std::u16string_view name);
    const std::vector<HiveValue>& Values() const { return values_; }

    // The key at the end of `path` below this one, or nullptr.
    HiveKey* Walk(const std::vector<std::u16string>& path);
    const HiveKey* Walk(const std::vector<std::u16string>& path) const;

private:
    std::u16string name_;
    std::vector<HiveValue> values_;  // in the order first written
    std::map<std::u16string, std::unique_ptr<HiveKey>> subkeys_;  // by folded name
};

// Appends the levels of a backslash path to `levels`. One trailing backslash is allowed; a
// leading or doubled backslash, or a level longer than maxLevelChars, makes the path invalid
// (false). A null or empty path has no levels.
bool SplitKeyPath(const char16_t* path, std::vector<std::u16string>& levels, size_t maxLevelChars);

}  // namespace platform::hive
