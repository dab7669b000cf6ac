#pragma once
// The rules of one resolved zone, by year: a tz database zone gives each year its own rule
// (its changes of that year), a fixed definition (a stored VTIMEZONE, a zone list entry) gives
// the same rule every year. Conversions follow the standard's reading of local times: a time
// in the hour skipped in spring is read with the offset before the gap, a time in the hour
// repeated in autumn as its first occurrence.
// Safe to share: the rules of the years met so far are kept under a lock of its own.
#include <memory>
#include <string>
#include <vector>

#include "platform/threads/Mutex.h"
#include "platform/timezone/TimeZoneInformation.h"
#include "platform/timezone/TzifFile.h"

class RZoneRules {
public:
    RZoneRules(std::shared_ptr<const platform::TzifData> zone, std::string olsonName);
    explicit RZoneRules(const TIME_ZONE_INFORMATION& fixed);
    RZoneRules(const RZoneRules&) = delete;
    RZoneRules& operator=(const RZoneRules&) = delete;

    // The definition that holds in `year` (biases and the year's two changes).
    TIME_ZONE_INFORMATION RuleForYear(int year) const;
    // False (output untouched) for an invalid time.
    bool LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) const;
    bool UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) const;

    // The tz database name whose rules these are; empty for a fixed definition.
    const std::string& OlsonName() const { return olsonName_; }

private:
    std::shared_ptr<const platform::TzifData> zone_;
    std::string olsonName_;
    TIME_ZONE_INFORMATION fixed_{};

    struct YearRule {
        int year;
        TIME_ZONE_INFORMATION rule;
    };
    mutable platform::Mutex lock_;
    mutable std::vector<YearRule> years_ ORVANE_GUARDED_BY(lock_);
};

// The parsed zone file of a tz database name, read once and shared; null when the name has no
// readable zone file (or would leave the zone folder).
std::shared_ptr<const platform::TzifData> ZoneFileOf(const std::string& olsonName);
