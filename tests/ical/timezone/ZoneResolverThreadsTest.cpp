// The zone answers kept per TZID are shared by the user-interface thread and the refresh
// threads: resolving, converting and forgetting from several threads at once must agree.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ical/timezone/StoredZoneLookup.h"
#include "ical/timezone/ZoneResolver.h"

namespace {

TEST(ZoneResolverThreads, ResolvingWhileTheStoredZonesChange) {
    SetStoredZoneFinder([](const CStringW& tzid, StoredZoneRules& zone) -> RResult {
        if (tzid != u"Shared Office") return STG_E_PATHNOTFOUND;
        zone.standardOffsetTo = 2.0;
        zone.standardStart = "1970-01-01 00:00";
        return R_OK;
    });
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            const char16_t* names[] = {u"Shared Office", u"Europe/Berlin", u"Pacific Standard Time", u"Nowhere"};
            for (int i = 0; i < 300; ++i) {
                if (t == 0 && i % 50 == 0) NoteStoredZonesChanged();
                const std::shared_ptr<const RZoneRules> rules = ResolveZoneRules(CStringW(names[i % 4]));
                if ((rules == nullptr) != (i % 4 == 3)) {
                    ++wrong;
                    continue;
                }
                if (rules == nullptr) continue;
                SYSTEMTIME utc{2026, 1, 0, 15, 12, 0, 0, 0}, local{};
                if (!rules->UtcToLocal(utc, local)) ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    SetStoredZoneFinder(nullptr);
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
