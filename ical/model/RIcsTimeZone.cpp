#include "ical/model/RIcsTimeZone.h"

#include "ical/model/RIcsFieldLimits.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/parser/RIcsLexer.h"

RIcsTimeZone::~RIcsTimeZone() {
    if (daylight_ != nullptr) {
        daylight_->Release();
    }
    if (standard_ != nullptr) {
        standard_->Release();
    }
    for (RIcsTimeZoneComponent* rule : readRules_) {
        rule->Release();
    }
}

void RIcsTimeZone::AssignTzid(std::string_view tzid) {
    if (tzid.size() > 2 && tzid.front() == '"' && tzid.back() == '"') {
        tzid = tzid.substr(1, tzid.size() - 2);
    }
    AssignCut(tzid_, tzid, ics_limits::kZoneTzid);
}

RResult RIcsTimeZone::ParseProperty(std::string_view name, RIcsComponent* target) {
    if (!SameName(name, "TZID")) {
        return RIcsComponent::ParseProperty(name, target);
    }
    const RResult result = ReadPlainValue();
    if (result == R_OK) {
        AssignTzid(lexer_->Value());
    }
    return result;
}

RResult RIcsTimeZone::Set(const char* tzid, RIcsTimeZoneComponent* daylight, RIcsTimeZoneComponent* standard) {
    AssignTzid(tzid != nullptr ? tzid : "");
    // The rules given replace whatever blocks were read.
    for (RIcsTimeZoneComponent* rule : readRules_) {
        rule->Release();
    }
    readRules_.clear();
    RResult result = R_OK;
    if (daylight != nullptr) {
        result = SetRule(daylight);
    }
    if (result == R_OK && standard != nullptr) {
        result = SetRule(standard);
    }
    return result;
}

RResult RIcsTimeZone::SetRule(RIcsTimeZoneComponent* rule) {
    if (rule == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const std::string_view ruleName = rule->GetName();
    RIcsTimeZoneComponent** slot = nullptr;
    if (ruleName == "DAYLIGHT") {
        slot = &daylight_;
    } else if (ruleName == "STANDARD") {
        slot = &standard_;
    } else {
        return R_E_INVALID_ARGUMENT;
    }
    rule->AddRef();
    if (*slot != nullptr) {
        (*slot)->Release();
    }
    *slot = rule;
    return R_OK;
}

RResult RIcsTimeZone::AddReadRule(RIcsTimeZoneComponent* rule) {
    const RResult result = SetRule(rule);
    if (result != R_OK) {
        return result;
    }
    if (readRules_.empty()) {
        readRules_.reserve(2);  // a DAYLIGHT and a STANDARD block, as most zones have
    }
    readRules_.push_back(rule);
    rule->AddRef();
    return R_OK;
}
