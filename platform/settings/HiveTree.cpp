#include "platform/settings/HiveTree.h"

#include <algorithm>

namespace platform::hive {

std::u16string FoldName(std::u16string_view name) {
    std::u16string folded(name);
    for (auto& c : folded) {
        c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    }
    return folded;
}

namespace {

char16_t FoldChar(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldChar(a[i]) != FoldChar(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

HiveKey* HiveKey::FindSubkey(std::u16string_view name) {
    auto found = subkeys_.find(FoldName(name));
    return found == subkeys_.end() ? nullptr : found->second.get();
}

const HiveKey* HiveKey::FindSubkey(std::u16string_view name) const {
    return const_cast<HiveKey*>(this)->FindSubkey(name);
}

HiveKey& HiveKey::GetOrAddSubkey(std::u16string_view name) {
    auto& slot = subkeys_[FoldName(name)];
    if (!slot) {
        slot = std::make_unique<HiveKey>(std::u16string(name));
    }
    return *slot;
}

bool HiveKey::RemoveSubkey(std::u16string_view name) { return subkeys_.erase(FoldName(name)) != 0; }

const HiveKey* HiveKey::SubkeyAt(size_t index) const {
    if (index >= subkeys_.size()) {
        return nullptr;
    }
    auto it = subkeys_.begin();
    std::advance(it, static_cast<std::ptrdiff_t>(index));
    return it->second.get();
}

const HiveValue* HiveKey::FindValue(std::u16string_view name) const {
    for (const auto& value : values_) {
        if (SameName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

void HiveKey::SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data) {
    auto* existing = const_cast<HiveValue*>(FindValue(name));
    if (existing != nullptr) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values_.push_back(HiveValue{std::u16string(name), type, std::move(data)});
}

bool HiveKey::RemoveValue(std::u16string_view name) {
    const auto it = std::find_if(values_.begin(), values_.end(), [&](const HiveValue& v) { return SameName(v.name, name); });
    if (it == values_.end()) {
        return false;
    }
    values_.erase(it);
    return true;
}

HiveKey* HiveKey::Walk(const std::vector<std::u16string>& path) {
    HiveKey* key = this;
    for (const auto& level : path) {
        key = key->FindSubkey(level);
        if (key == nullptr) {
            return nullptr;
        }
    }
    return key;
}

const HiveKey* HiveKey::Walk(const std::vector<std::u16string>& path) const {
    return const_cast<HiveKey*>(this)->Walk(path);
}

bool SplitKeyPath(const char16_t* path, std::vector<std::u16string>& levels, size_t maxLevelChars) {
    if (path == nullptr) {
        return true;
    }
    std::u16string level;
    for (const char16_t* p = path;; ++p) {
        if (*p != u'\\' && *p != 0) {
            if (level.size() == maxLevelChars) {
                return false;
            }
            level += *p;
            continue;
        }
        if (level.empty()) {
            // Only the end of the text may follow a separator (or stand alone).
            if (*p == 0) {
                return true;
            }
            return false;
        }
        levels.push_back(std::move(level));
        level.clear();
        if (*p == 0) {
            return true;
        }
    }
}

}  // namespace platform::hive
