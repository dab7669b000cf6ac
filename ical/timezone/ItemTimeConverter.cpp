#include "ical/timezone/ItemTimeConverter.h"

#include "ical/timezone/ZoneConversions.h"
#include "ical/timezone/ZoneResolver.h"

namespace {

// Answers kept before the converter starts afresh; a month of occurrences needs a few thousand.
constexpr std::size_t kMostAnswers = 1 << 16;

std::uint64_t PackLocal(const SYSTEMTIME& t) {
    return static_cast<std::uint64_t>(t.wYear) << 40 | static_cast<std::uint64_t>(t.wMonth & 0xFF) << 32 |
           static_cast<std::uint64_t>(t.wDay & 0xFF) << 24 | static_cast<std::uint64_t>(t.wHour & 0xFF) << 16 |
           static_cast<std::uint64_t>(t.wMinute & 0xFF) << 8 | static_cast<std::uint64_t>(t.wSecond & 0xFF);
}

}  // namespace

RItemTimeConverter::RItemTimeConverter(const CStringW& targetZoneKey) : targetKey_(targetZoneKey) {}

RItemTimeConverter::Zone& RItemTimeConverter::ZoneOf(const char* tzid) {
    auto found = zones_.find(tzid);
    if (found == zones_.end()) {
        found = zones_.emplace(tzid, Zone{ResolveZoneRules(CStringW::FromUtf8(tzid)), {}}).first;
    }
    return found->second;
}

RItemTimeConverter::Answer& RItemTimeConverter::AnswerFor(Zone& zone, const SYSTEMTIME& local) {
    const std::uint64_t key = PackLocal(local);
    if (const auto known = zone.answers.find(key); known != zone.answers.end()) return known->second;
    if (answerCount_ >= kMostAnswers) {
        for (auto& [name, each] : zones_) each.answers.clear();
        answerCount_ = 0;
    }
    Answer answer;
    SYSTEMTIME utc{};
    answer.converted = zone.rules->LocalToUtc(local, utc);
    if (answer.converted) answer.utc = utc;
    ++answerCount_;
    return zone.answers.emplace(key, answer).first->second;
}

RResult RItemTimeConverter::ToUtc(const RIcsDateTime& time, SYSTEMTIME* utc) {
    if (utc == nullptr) return R_E_INVALID_ARGUMENT;
    return Convert(time, utc, nullptr);
}

RDateTime RItemTimeConverter::ToTarget(const RIcsDateTime& time) {
    SYSTEMTIME ignored{};
    RDateTime shown;
    (void)Convert(time, &ignored, &shown);
    return shown;
}

RResult RItemTimeConverter::ToUtcAndTarget(const RIcsDateTime& time, SYSTEMTIME* utc, RDateTime* shown) {
    if (utc == nullptr || shown == nullptr) return R_E_INVALID_ARGUMENT;
    return Convert(time, utc, shown);
}

RResult RItemTimeConverter::Convert(const RIcsDateTime& time, SYSTEMTIME* utc, RDateTime* shown) {
    if (shown != nullptr) *shown = time.dateTime;
    const SYSTEMTIME local = ItemLocalTime(time);
    if (time.tzid[0] == '\0') {
        *utc = local;
        return R_OK;
    }
    Zone& zone = ZoneOf(time.tzid);
    if (!zone.rules) return STG_E_PATHNOTFOUND;
    Answer& answer = AnswerFor(zone, local);
    if (answer.converted) *utc = answer.utc;
    if (shown == nullptr) return R_OK;
    if (!targetResolved_) {
        target_ = ZoneRulesForKey(targetKey_);
        targetResolved_ = true;
    }
    if (!target_) return R_OK;
    if (!answer.shownKnown) {
        SYSTEMTIME converted{};
        answer.shownConverted = answer.converted && target_->UtcToLocal(answer.utc, converted);
        answer.shown = converted;
        answer.shownKnown = true;
    }
    if (answer.shownConverted) shown->FromSystemTime(&answer.shown);
    return R_OK;
}
