#include "ical/timezone/ZoneRules.h"

#include <algorithm>
#include <unordered_map>

#include "platform/timezone/ZoneConversion.h"
#include "platform/timezone/ZoneYearRule.h"

namespace {

bool SameClock(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

bool ValidName(const std::string& name) {
    return !name.empty() && name.size() < 128 && name.front() != '/' && name.find("..") == std::string::npos &&
           name.find('\0') == std::string::npos && name.find('\\') == std::string::npos;
}

// Zone files read so far; names that have none are remembered as null.
struct ZoneFileCache {
    platform::Mutex lock;
    std::unordered_map<std::string, std::shared_ptr<const platform::TzifData>> files ORVANE_GUARDED_BY(lock);
};

ZoneFileCache& Files() {
    static ZoneFileCache cache;
    return cache;
}

// Calendar data may name any number of made-up zones; the cache starts again beyond this.
constexpr std::size_t kMaxCachedFiles = 4096;

}  // namespace

std::shared_ptr<const platform::TzifData> ZoneFileOf(const std::string& olsonName) {
    if (!ValidName(olsonName)) return nullptr;
    ZoneFileCache& cache = Files();
    {
        platform::MutexLock hold(cache.lock);
        if (const auto found = cache.files.find(olsonName); found != cache.files.end()) return found->second;
    }
    auto zone = std::make_shared<platform::TzifData>();
    std::shared_ptr<const platform::TzifData> result;
    if (platform::ReadTzifFile(platform::ZoneInfoDirectory() + "/" + olsonName, *zone)) result = std::move(zone);
    platform::MutexLock hold(cache.lock);
    if (cache.files.size() >= kMaxCachedFiles) cache.files.clear();
    cache.files.emplace(olsonName, result);
    return result;
}

RZoneRules::RZoneRules(std::shared_ptr<const platform::TzifData> zone, std::string olsonName)
    : zone_(std::move(zone)), olsonName_(std::move(olsonName)) {}

RZoneRules::RZoneRules(const TIME_ZONE_INFORMATION& fixed) : fixed_(fixed) {}

TIME_ZONE_INFORMATION RZoneRules::RuleForYear(int year) const {
    if (!zone_) return fixed_;
    platform::MutexLock hold(lock_);
    for (const YearRule& known : years_) {
        if (known.year == year) return known.rule;
    }
    TIME_ZONE_INFORMATION rule{};
    platform::ZoneRuleForYear(*zone_, year, rule);
    if (years_.size() >= 16) years_.erase(years_.begin());  // a view spans a few years at a time
    years_.push_back({year, rule});
    return rule;
}

bool RZoneRules::UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) const {
    // The conversion reads a rule in the year of the standard local time; near New Year that
    // may be the year before or after the UTC one, and then that year's rule holds.
    TIME_ZONE_INFORMATION rule = RuleForYear(utc.wYear);
    TIME_ZONE_INFORMATION standardOnly{};
    standardOnly.Bias = rule.Bias + rule.StandardBias;
    SYSTEMTIME standardLocal{};
    if (!SystemTimeToTzSpecificLocalTime(&standardOnly, &utc, &standardLocal)) return false;
    if (standardLocal.wYear != utc.wYear) rule = RuleForYear(standardLocal.wYear);
    SYSTEMTIME result{};
    if (!SystemTimeToTzSpecificLocalTime(&rule, &utc, &result)) return false;
    local = result;
    return true;
}

bool RZoneRules::LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) const {
    const TIME_ZONE_INFORMATION rule = RuleForYear(local.wYear);
    SYSTEMTIME result{};
    if (!TzSpecificLocalTimeToSystemTime(&rule, &local, &result)) return false;
    SYSTEMTIME back{};
    if (UtcToLocal(result, back) && !SameClock(back, local)) {
        // A time that does not come back as itself lies in the hour skipped when the clocks
        // go forward: it is read with the offset in force before the gap, the smaller one.
        const LONG before = std::max(rule.Bias + rule.StandardBias, rule.Bias + rule.DaylightBias);
        SYSTEMTIME shifted{};
        TIME_ZONE_INFORMATION plain{};
        plain.Bias = before;
        if (TzSpecificLocalTimeToSystemTime(&plain, &local, &shifted)) result = shifted;
    }
    utc = result;
    return true;
}
