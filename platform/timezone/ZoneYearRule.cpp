#include "platform/timezone/ZoneYearRule.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

#include "platform/timezone/CivilTime.h"
#include "platform/timezone/PosixTzString.h"

namespace platform {
namespace {

struct Change {
    std::int64_t utc;
    TzifLocalType before;
    TzifLocalType after;
};

// Every change of offset or daylight flag whose instant lies in [from, to).
std::vector<Change> ChangesBetween(const TzifData& zone, const std::optional<PosixTz>& footer, std::int64_t from,
                                   std::int64_t to, int year) {
    std::vector<Change> changes;
    const auto& times = zone.transitionTimes;
    for (std::size_t i = 0; i < times.size() && !zone.localTypes.empty(); ++i) {
        if (times[i] < from || times[i] >= to) continue;
        const TzifLocalType before = i == 0 ? zone.localTypes.front() : zone.localTypes[zone.transitionTypes[i - 1]];
        changes.push_back({times[i], before, zone.localTypes[zone.transitionTypes[i]]});
    }
    // Past the end of the table the footer's rule takes over.
    if (footer && footer->hasDaylight && (times.empty() || times.back() < to)) {
        const TzifLocalType standard{footer->standardOffset, false}, daylight{footer->daylightOffset, true};
        std::vector<Change> ruled;
        for (int y = year - 1; y <= year + 1; ++y) {
            ruled.push_back({footer->daylightStart.LocalMoment(y) - footer->standardOffset, standard, daylight});
            ruled.push_back({footer->daylightEnd.LocalMoment(y) - footer->daylightOffset, daylight, standard});
        }
        for (const Change& c : ruled) {
            if (c.utc >= from && c.utc < to && (times.empty() || c.utc > times.back())) changes.push_back(c);
        }
    }
    std::vector<Change> real;
    for (const Change& c : changes) {
        if (c.before.utcOffset != c.after.utcOffset || c.before.isDaylight != c.after.isDaylight) real.push_back(c);
    }
    return real;
}

SYSTEMTIME DateFromWallClock(std::int64_t wall) {
    const std::int64_t days = civil::FloorDiv(wall, 86400);
    const std::int64_t secondOfDay = wall - days * 86400;
    const civil::Date date = civil::CivilFromDays(days);
    SYSTEMTIME t{};
    t.wMonth = static_cast<WORD>(date.month);
    t.wDayOfWeek = static_cast<WORD>(civil::WeekdayFromDays(days));
    // The last such weekday of the month is written as week 5, which is how such rules read.
    t.wDay = static_cast<WORD>(date.day + 7 > civil::DaysInMonth(date.year, date.month) ? 5 : (date.day - 1) / 7 + 1);
    t.wHour = static_cast<WORD>(secondOfDay / 3600);
    t.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    t.wSecond = static_cast<WORD>(secondOfDay % 60);
    return t;
}

// The footer's own month/week/day rule, when it says the same as the year's actual change.
std::optional<SYSTEMTIME> DateFromRule(const PosixTransitionRule& rule, std::int64_t wall, int year) {
    if (rule.kind != PosixTransitionRule::Kind::MonthWeekDay || rule.time < 0 || rule.time >= 86400 ||
        rule.LocalMoment(year) != wall) {
        return std::nullopt;
    }
    SYSTEMTIME t{};
    t.wMonth = static_cast<WORD>(rule.month);
    t.wDayOfWeek = static_cast<WORD>(rule.weekday);
    t.wDay = static_cast<WORD>(rule.week);
    t.wHour = static_cast<WORD>(rule.time / 3600);
    t.wMinute = static_cast<WORD>(rule.time / 60 % 60);
    t.wSecond = static_cast<WORD>(rule.time % 60);
    return t;
}

TzifLocalType TypeAtEnd(const TzifData& zone, const std::optional<PosixTz>& footer, std::int64_t at) {
    if (footer && (zone.transitionTimes.empty() || zone.transitionTimes.back() < at)) {
        return {footer->standardOffset, false};
    }
    return zone.TypeAt(at);
}

// A yearly rule over UTC instants: the daylight offset holds from `start` up to `end` (across the
// year's start when end <= start), the standard offset the rest of the year. An instant equal
// to the year's start stands for the year's edge: as a start, daylight time holds from the
// first moment; as an end, it lasts to the last.
struct Candidate {
    std::int64_t start;
    std::int64_t end;
    TzifLocalType standard;
    TzifLocalType daylight;
    std::int64_t misfit;  // seconds of the year the rule would get wrong
};

struct Step {
    std::int64_t from;
    TzifLocalType type;
};

std::int32_t RuleOffsetAt(const Candidate& c, std::int64_t t) {
    const bool inside = c.start < c.end ? (t >= c.start && t < c.end) : (t >= c.start || t < c.end);
    return inside ? c.daylight.utcOffset : c.standard.utcOffset;
}

// Seconds of [from, to) in which the rule's offset differs from the zone's. Both step between
// the same instants, so comparing at each instant and the next is exact.
std::int64_t Misfit(const Candidate& c, const std::vector<Step>& steps, std::int64_t to) {
    std::vector<std::int64_t> cuts;
    cuts.reserve(steps.size() + 3);
    for (const Step& s : steps) cuts.push_back(s.from);
    cuts.push_back(c.start);
    cuts.push_back(c.end);
    cuts.push_back(to);
    std::sort(cuts.begin(), cuts.end());
    std::int64_t misfit = 0;
    std::size_t step = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        while (step + 1 < steps.size() && steps[step + 1].from <= cuts[i]) ++step;
        if (RuleOffsetAt(c, cuts[i]) != steps[step].type.utcOffset) misfit += cuts[i + 1] - cuts[i];
    }
    return misfit;
}

// The two-change rule that fits the year best. Most years need exactly their two changes; a
// year with one (a zone entering daylight time for good) or with three or more (a zone whose
// standard offset also moves) gets the rule that is wrong for the shortest time. Ties go to
// the rule whose daylight part the zone itself marks as daylight time.
std::optional<Candidate> BestRule(const std::vector<Step>& steps, std::int64_t to) {
    std::optional<Candidate> best;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        for (std::size_t j = 0; j < steps.size(); ++j) {
            if (i == j) continue;
            // Ending at the year's start means lasting to its end: standard time is what held before.
            const TzifLocalType standard = j == 0 ? steps[i == 0 ? 0 : i - 1].type : steps[j].type;
            Candidate c{steps[i].from, steps[j].from, standard, steps[i].type, 0};
            if (c.standard.utcOffset == c.daylight.utcOffset) continue;
            c.misfit = Misfit(c, steps, to);
            const bool better = !best || c.misfit < best->misfit ||
                                (c.misfit == best->misfit && c.daylight.isDaylight && !best->daylight.isDaylight);
            if (better) best = c;
        }
    }
    return best;
}

}  // namespace

std::string ZoneInfoDirectory() {
    const char* dir = std::getenv("TZDIR");
    return dir != nullptr && *dir != '\0' ? std::string(dir) : std::string("/usr/share/zoneinfo");
}

int CurrentUtcYear() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    return parts.tm_year + 1900;
}

void ZoneRuleForYear(const TzifData& zone, int year, TIME_ZONE_INFORMATION& info) {
    std::optional<PosixTz> footer;
    PosixTz parsed;
    if (!zone.footer.empty() && ParsePosixTz(zone.footer, parsed)) footer = parsed;

    const std::int64_t from = civil::DaysFromCivil(year, 1, 1) * 86400;
    const std::int64_t to = civil::DaysFromCivil(year + 1, 1, 1) * 86400;
    const std::vector<Change> changes = ChangesBetween(zone, footer, from, to, year);
    // The year as steps: what held at its start, then each change.
    std::vector<Step> steps{{from, changes.empty() ? TypeAtEnd(zone, footer, to - 1) : changes.front().before}};
    // Real zones change a handful of times a year; a damaged file could list thousands, and the
    // search below grows with the cube of the count.
    constexpr std::size_t kMaxStepsSearched = 16;
    for (const Change& c : changes) {
        if (steps.size() == kMaxStepsSearched) break;
        steps.push_back({c.utc, c.after});
    }
    const std::optional<Candidate> rule = BestRule(steps, to);

    info.StandardBias = 0;
    info.StandardDate = SYSTEMTIME{};
    info.DaylightDate = SYSTEMTIME{};
    if (!rule) {
        info.Bias = -steps.back().type.utcOffset / 60;
        info.DaylightBias = 0;
        return;
    }
    const std::int32_t standard = rule->standard.utcOffset;
    const std::int32_t daylight = rule->daylight.utcOffset;
    info.Bias = -standard / 60;
    info.DaylightBias = -(daylight - standard) / 60;
    // The start is read in standard wall time, the end in daylight wall time; the year's edge is
    // its first local midnight.
    const std::int64_t startWall = rule->start == from ? from : rule->start + standard;
    const std::int64_t endWall = rule->end == from ? from : rule->end + daylight;
    std::optional<SYSTEMTIME> start, end;
    if (footer && footer->hasDaylight && footer->standardOffset == standard && footer->daylightOffset == daylight) {
        start = DateFromRule(footer->daylightStart, startWall, year);
        end = DateFromRule(footer->daylightEnd, endWall, year);
    }
    info.DaylightDate = start ? *start : DateFromWallClock(startWall);
    info.StandardDate = end ? *end : DateFromWallClock(endWall);
}

bool ReadZoneRuleForYear(const std::string& olsonName, int year, TIME_ZONE_INFORMATION& info) {
    // Names come from calendar data: keep them inside the zone folder.
    if (olsonName.empty() || olsonName.front() == '/' || olsonName.find("..") != std::string::npos ||
        olsonName.find('\0') != std::string::npos) {
        return false;
    }
    TzifData zone;
    if (!ReadTzifFile(ZoneInfoDirectory() + "/" + olsonName, zone)) return false;
    ZoneRuleForYear(zone, year, info);
    return true;
}

}  // namespace platform
