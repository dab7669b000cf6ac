// The Olson alias lines: loaded once from the built-in strings, then only read.
#include <new>

#include "ical/timezone/ZoneAliasLines.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/threads/Mutex.h"

namespace {

platform::Mutex g_aliasGuard;
RList g_aliasLines ORVANE_GUARDED_BY(g_aliasGuard);

void LoadLocked() ORVANE_REQUIRES(g_aliasGuard) {
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
}

// Whether `name` is one whole TAB-separated field of `line`.
bool LineNames(const CStringW& line, const CStringW& name) {
    const std::u16string_view text = line.AsView();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u'\t', start);
        if (end == std::u16string_view::npos) end = text.size();
        if (text.substr(start, end - start) == name.AsView()) return true;
        start = end + 1;
    }
    return false;
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
    for (RListNode* node = g_aliasLines.head; node != nullptr; node = node->next) {
        const CStringW& line = *static_cast<const CStringW*>(node->payload);
        if (LineNames(line, name)) {
            const int tab = line.Find(u'\t');
            olsonId = tab < 0 ? line : line.Left(tab);
            return R_OK;
        }
    }
    return STG_E_PATHNOTFOUND;
}
