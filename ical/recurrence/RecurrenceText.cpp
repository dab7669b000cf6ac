// The RRULE text of a rule: FREQ, RSCALE, INTERVAL, UNTIL or COUNT, then the BY-parts and WKST.
#include "ical/recurrence/RIcsRecurrence.h"

#include <cstring>
#include <string>

namespace {

void AppendList(std::string& text, const char* name, const std::int32_t* list) {
    text += name;
    for (const std::int32_t* entry = list; *entry != 0; ++entry) {
        if (entry != list) {
            text += ',';
        }
        text += std::to_string(*entry);
    }
}

void AppendDays(std::string& text, const char* name, std::uint32_t mask, std::int32_t ordinal) {
    static constexpr const char* kNames[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    text += name;
    if (ordinal != 0) {
        text += std::to_string(ordinal);
    }
    for (int day = 0; day < 7; ++day) {
        if ((mask & (1u << day)) == 0) {
            continue;
        }
        text += kNames[day];
        if ((mask & ~((2u << day) - 1) & 0x7Fu) != 0) {
            text += ',';
        }
    }
}

}  // namespace

void RIcsRecurrence::DropText() {
    RHeapBuffer::Free(textBuffer_);
    textBuffer_ = nullptr;
    cachedText_ = nullptr;
}

const char* RIcsRecurrence::GetText() {
    if (cachedText_ == nullptr) {
        if (textBuffer_ == nullptr) {
            BuildText();
        }
        if (textBuffer_ != nullptr) {
            cachedText_ = textBuffer_->data;
        }
    }
    return cachedText_;
}

RResult RIcsRecurrence::BuildText() {
    DropText();
    if (freq[0] == '\0') {
        return 0;
    }
    std::string text = "FREQ=";
    text += freq;
    if (rscale[0] != '\0') {
        text += ";RSCALE=";
        text += rscale;
    }
    if (interval > 1) {
        text += ";INTERVAL=" + std::to_string(interval);
    }
    if (until != nullptr) {
        text += ";UNTIL=";
        text += until->GetCompactText();
        if (std::strcmp(until->tzid, "Z") == 0 && !until->dateOnly) {
            text += 'Z';
        }
    } else if (count > 0) {
        text += ";COUNT=" + std::to_string(count);
    }
    // Every part the rule holds is written, so that a rule read back steps as before.
    if (byYearDay[0] != 0) {
        AppendList(text, ";BYYEARDAY=", byYearDay);
    }
    if (byMonthDay[0] != 0) {
        AppendList(text, ";BYMONTHDAY=", byMonthDay);
    }
    if (byMonth[0] != 0) {
        AppendList(text, ";BYMONTH=", byMonth);
    }
    if (byDayMask != 0) {
        AppendDays(text, ";BYDAY=", byDayMask, byDayOrdinal);
    }
    if (byWeekNo[0] != 0) {
        AppendList(text, ";BYWEEKNO=", byWeekNo);
    }
    if (byHour[0] != 0) {
        AppendList(text, ";BYHOUR=", byHour);
    }
    if (byMinute[0] != 0) {
        AppendList(text, ";BYMINUTE=", byMinute);
    }
    if (bySecond[0] != 0) {
        AppendList(text, ";BYSECOND=", bySecond);
    }
    if (bySetPos[0] != 0) {
        AppendList(text, ";BYSETPOS=", bySetPos);
    }
    if (wkstMask != 0) {
        AppendDays(text, ";WKST=", wkstMask, 0);
    }
    const int size = static_cast<int>(text.size()) + 1;
    textBuffer_ = RHeapBuffer::Create(size);
    if (textBuffer_ == nullptr) {
        return R_E_OUT_OF_MEMORY;
    }
    std::memcpy(textBuffer_->data, text.c_str(), static_cast<std::size_t>(size));
    cachedText_ = textBuffer_->data;
    return 0;
}
