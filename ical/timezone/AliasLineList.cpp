// The Olson alias lines: loaded once from the built-in strings, then only read. Look-ups go
// through a hashed index of every field, built once from the lines, since the zone layer maps
// names on every conversion.
#include <new>
#include <string>
#include <unordered_map>

#include "ical/timezone/ZoneAliasLines.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/threads/Mutex.h"

namespace {

platform::Mutex g_aliasGuard;
RList g_aliasLines ORVANE_GUARDED_BY(g_aliasGuard);
// Every field of the lines -> the first field of the first line that names it. Empty and not
// built until the first look-up after the lines changed.
std::unordered_map<std::u16string, std::u16string> g_aliasIndex ORVANE_GUARDED_BY(g_aliasGuard);
// The same with every field in ASCII lower case, for names written in another case.
std::unordered_map<std::u16string, std::u16string> g_aliasIndexNoCase ORVANE_GUARDED_BY(g_aliasGuard);
bool g_aliasIndexBuilt ORVANE_GUARDED_BY(g_aliasGuard) = false;

std::u16string LowerAscii(std::u16string_view text) { return std::move(CStringW(text).MakeLower().Str()); }

void LoadLocked() ORVANE_REQUIRES(g_aliasGuard) {
    g_aliasIndexBuilt = false;
    for (int id = kFirstZoneAliasId;; ++id) {
        const char16_t* text = LoadZoneAliasString(id);
        if (text == nullptr) break;
        auto* line = new (std::nothrow) CStringW(text);
        if (line == nullptr || g_aliasLines.AddTail(line) != R_OK) {
            delete line;
            break;
        }
    }
}

void FreeLocked() ORVANE_REQUIRES(g_aliasGuard) {
    for (RListNode* node = g_aliasLines.head; node != nullptr; node = node->next) {
        delete static_cast<CStringW*>(node->payload);
    }
    g_aliasLines.RemoveAll();
    g_aliasIndex.clear();
    g_aliasIndexNoCase.clear();
    g_aliasIndexBuilt = false;
}

void BuildIndexLocked() ORVANE_REQUIRES(g_aliasGuard) {
    g_aliasIndex.clear();
    g_aliasIndexNoCase.clear();
    for (RListNode* node = g_aliasLines.head; node != nullptr; node = node->next) {
        const std::u16string_view text = static_cast<const CStringW*>(node->payload)->AsView();
        const std::u16string_view olson = text.substr(0, text.find(u'\t'));
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find(u'\t', start);
            if (end == std::u16string_view::npos) end = text.size();
            // The first line that names a field wins, as a scan in line order would find it.
            const std::u16string_view field = text.substr(start, end - start);
            g_aliasIndex.try_emplace(std::u16string(field), olson);
            g_aliasIndexNoCase.try_emplace(LowerAscii(field), olson);
            start = end + 1;
        }
    }
    g_aliasIndexBuilt = true;
}

struct AliasLinesAtExit {
    ~AliasLinesAtExit() {
        platform::MutexLock lock(g_aliasGuard);
        FreeLocked();
    }
} g_aliasLinesAtExit;

}  // namespace

void LoadZoneAliasLines() {
    platform::MutexLock lock(g_aliasGuard);
    LoadLocked();
}

void FreeAliasLines() {
    platform::MutexLock lock(g_aliasGuard);
    FreeLocked();
}

RResult MapZoneKeyToOlsonId(const CStringW& name, CStringW& olsonId) {
    if (name == u"Z") {
        olsonId = u"Z";
        return R_OK;
    }
    platform::MutexLock lock(g_aliasGuard);
    if (g_aliasLines.count == 0) LoadLocked();
    if (!g_aliasIndexBuilt) BuildIndexLocked();
    const auto found = g_aliasIndex.find(std::u16string(name.AsView()));
    if (found == g_aliasIndex.end()) return STG_E_PATHNOTFOUND;
    olsonId = CStringW(found->second);
    return R_OK;
}

RResult MapZoneNameToOlsonIdIgnoringCase(const CStringW& name, CStringW& olsonId) {
    platform::MutexLock lock(g_aliasGuard);
    if (g_aliasLines.count == 0) LoadLocked();
    if (!g_aliasIndexBuilt) BuildIndexLocked();
    const auto found = g_aliasIndexNoCase.find(LowerAscii(name.AsView()));
    if (found == g_aliasIndexNoCase.end()) return STG_E_PATHNOTFOUND;
    olsonId = CStringW(found->second);
    return R_OK;
}
