#pragma once
// A VTIMEZONE with its DAYLIGHT and STANDARD rules.
// Needs its owner's lock, as every component (the written text is cached by GetText).
#include <string>
#include <vector>

#include "ical/model/RIcsComponent.h"
#include "ical/writer/RIcsTextCache.h"

class RIcsTimeZoneComponent;

class RIcsTimeZone : public RIcsComponent {
public:
    ~RIcsTimeZone() override;

    // TZID; anything else goes to the base dispatch.
    RResult ParseProperty(std::string_view name, RIcsComponent* target) override;
    const char* GetText() override;
    void BuildText();

    // Copies the TZID (surrounding double quotes removed) and sets both rules.
    RResult Set(const char* tzid, RIcsTimeZoneComponent* daylight, RIcsTimeZoneComponent* standard);
    // By the rule's name: "DAYLIGHT" or "STANDARD" replace that rule; else R_E_INVALID_ARGUMENT.
    RResult SetRule(RIcsTimeZoneComponent* rule);
    // SetRule for a block read from text, which is also kept in the list of blocks read.
    RResult AddReadRule(RIcsTimeZoneComponent* rule);

    const char* GetTzid() const { return tzid_.c_str(); }
    RIcsTimeZoneComponent* GetDaylight() const { return daylight_; }
    RIcsTimeZoneComponent* GetStandard() const { return standard_; }

private:
    void AssignTzid(std::string_view tzid);

    std::string tzid_;
    RIcsTimeZoneComponent* daylight_ = nullptr;
    RIcsTimeZoneComponent* standard_ = nullptr;
    // Every block read, in the order read, each holding a reference: a zone whose rules changed
    // over the years has several of each kind, and the writer writes them all.
    std::vector<RIcsTimeZoneComponent*> readRules_;
    RIcsTextCache text_;
};
