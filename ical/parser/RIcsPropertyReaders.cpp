// The property level of the parser: the dispatch by exact property name and the readers of
// text, date-time, rule, EXDATE, attendee and organizer values.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>

#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsComponent.h"
#include "ical/model/RIcsFieldLimits.h"
#include "ical/parser/RIcsLexer.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"

namespace {

// A DURATION value ([+]P nW, or P [nD] [T [nH] [nM] [nS]]) into days and seconds. A negative,
// malformed or absurdly long one leaves both as they were (no duration).
void ParseDuration(std::string_view text, std::int32_t& days, std::int64_t& seconds) {
    std::size_t pos = 0;
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
    }
    if (pos >= text.size() || (text[pos] != 'P' && text[pos] != 'p')) {
        return;
    }
    ++pos;
    std::int64_t dayCount = 0;
    std::int64_t secondCount = 0;
    bool inTime = false;
    bool any = false;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == 'T' || c == 't') {
            inTime = true;
            ++pos;
            continue;
        }
        std::int64_t n = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 9) {
            n = n * 10 + (text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || pos >= text.size()) {
            return;
        }
        switch (text[pos] | 0x20) {
            case 'w': dayCount += 7 * n; break;
            case 'd': dayCount += n; break;
            case 'h': if (!inTime) return; secondCount += 3600 * n; break;
            case 'm': if (!inTime) return; secondCount += 60 * n; break;
            case 's': if (!inTime) return; secondCount += n; break;
            default: return;
        }
        any = true;
        ++pos;
    }
    constexpr std::int64_t kLongest = 366LL * 100;  // a century bounds the day walk
    if (!any || dayCount + secondCount / 86400 > kLongest) {
        return;
    }
    days = static_cast<std::int32_t>(dayCount);
    seconds = secondCount;
}

// The VERSION number. "2.0" (nearly every file) reads the same in any locale's number format,
// so it needs no call of strtof.
float ReadVersion(std::string_view text) {
    if (text.size() == 3 && text[0] >= '0' && text[0] <= '9' && text[1] == '.' && text[2] == '0') {
        return static_cast<float>(text[0] - '0');
    }
    return std::strtof(std::string(text).c_str(), nullptr);
}

bool HasSurroundingQuotes(std::string_view text) {
    return text.size() > 2 && text.front() == '"' && text.back() == '"';
}

// Decimal conversion of the leading digits, clamped to the 32-bit range.
std::int32_t ToInt32(const std::string& text) {
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(value);
}

// Parses an attendee or organizer value into a fresh object and hands it to keep (which adds
// its own reference); one that cannot be made or does not parse is dropped.
template <typename Address, typename Keep>
void KeepParsedAddress(std::string_view value, bool bare, Keep keep) {
    auto* address = new (std::nothrow) Address;  // every member has its initialiser: no zeroing first
    if (address == nullptr) {
        return;
    }
    // A property without parameters (ATTENDEE:...) holds only the address, whatever it contains.
    if ((bare ? address->SetAddress(value) : address->Parse(value)) == R_OK) {
        keep(address);
    }
    address->Release();
}

// The parameters of a date-time property read token by token, for those that are not plain
// (folded, blank, oddly quoted): the last TZID goes to `tzid`, which `zone` then views.
// Kept out of line, so that the plain case makes none of its strings.
[[gnu::noinline]] RResult ReadDateTimeParameters(RIcsLexer& lexer, std::string& tzid, std::string_view& zone) {
    std::string parameterName;
    std::string parameterValue;
    std::string part;
    while (lexer.Current() == ';') {
        lexer.Advance();
        RResult result = lexer.ReadToken(parameterName, ics_limits::kDateTimeParameter);
        if (result != R_OK) {
            return result;
        }
        if (parameterName == ";" || parameterName == ":") {
            lexer.StepBack();  // an empty parameter
            continue;
        }
        if (lexer.Current() == '=') {
            lexer.Advance();
        }
        parameterValue.clear();
        // A quoted value may hold ':' and ';' (TZID="(UTC+01:00) Amsterdam"); it ends at its
        // closing quote. Otherwise the value runs to the next ';' or ':'; a further '=' belongs
        // to it (TZID=a=b is "a=b").
        const bool quoted = lexer.ReadQuoted(parameterValue, ics_limits::kDateTimeParameter);
        const bool quoteEndsValue = quoted && (lexer.Current() == ';' || lexer.Current() == ':');
        for (; !quoteEndsValue;) {
            result = lexer.ReadToken(part, ics_limits::kDateTimeParameter);
            if (result != R_OK) {
                return result;
            }
            if (part == ";" || part == ":") {
                lexer.StepBack();  // the delimiter ends the parameter
                break;
            }
            parameterValue += part;
            if (parameterValue.size() > ics_limits::kDateTimeParameter) {
                return R_E_BUFFER_TOO_SMALL;
            }
            if (part != "=" && lexer.Current() != '=') {
                break;
            }
            if (part != "=") {
                lexer.Advance();
                parameterValue += '=';
            }
        }
        // A long line folded inside a parameter (TZID=Europe/Ber CR LF " lin") reads as one.
        RemoveFolds(parameterName);
        RemoveFolds(parameterValue);
        // A bare line break inside a parameter is no part of it (a zone name cannot hold one).
        std::erase_if(parameterValue, [](char c) { return RIcsLexer::IsLineBreak(c); });
        if (SameName(parameterName, "TZID")) {
            tzid = parameterValue;
            zone = tzid;
        }
    }
    return R_OK;
}

}  // namespace

RResult RIcsComponent::ReadValue() {
    return lexer_ != nullptr ? lexer_->ReadValue() : R_E_INVALID_ARGUMENT;
}

std::string_view RIcsComponent::ValueCut(std::size_t maxChars) const {
    return CutToLimit(lexer_->Value(), maxChars);
}

RResult RIcsComponent::ReadPlainValue() {
    if (lexer_ == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    // Whatever the parameters (LANGUAGE, ALTREP, X-...), the value starts after them.
    lexer_->SkipParameters();
    return lexer_->ReadValue();
}

RResult RIcsComponent::ReadTextValue(std::optional<std::string>& field) {
    const RResult result = ReadPlainValue();
    if (result != R_OK) {
        return result;
    }
    field.emplace(lexer_->Value());
    return R_OK;
}

RResult RIcsComponent::ParseProperty(std::string_view name, RIcsComponent* target) {
    if (lexer_ == nullptr || target == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    RResult result = R_OK;
    // By the first letter, so that a name is compared only with the names that begin like it;
    // a name none of them matches is read and dropped (RDATE, CATEGORIES ...).
    bool known = true;
    switch (name.empty() ? '\0' : UpperAscii(name[0])) {
        case 'A':
            if (SameName(name, "ATTENDEE")) {
                result = ParseAttendeeProperty(target);
            } else {
                known = false;
            }
            break;
        case 'C':
            if (SameName(name, "CREATED")) {
                result = ParseDateTimeProperty(created_);
            } else {
                known = false;
            }
            break;
        case 'D':
            if (SameName(name, "DTSTART")) {
                result = ParseDateTimeProperty(dtStart_);
            } else if (SameName(name, "DTEND")) {
                result = ParseDateTimeProperty(dtEnd_);
            } else if (SameName(name, "DESCRIPTION")) {
                result = ReadTextValue(description_);
            } else if (SameName(name, "DTSTAMP")) {
                result = ParseDateTimeProperty(dtStamp_);
            } else if (SameName(name, "DURATION")) {
                if ((result = ReadPlainValue()) == R_OK) {
                    ParseDuration(lexer_->Value(), durationDays_, durationSeconds_);
                }
            } else {
                known = false;
            }
            break;
        case 'E':
            if (SameName(name, "EXDATE")) {
                if ((result = ReadValue()) == R_OK) {
                    result = AddExDate(std::string(ValueCut(ics_limits::kExDate)).c_str());
                }
            } else {
                known = false;
            }
            break;
        case 'L':
            if (SameName(name, "LOCATION")) {
                result = ReadTextValue(location_);
            } else if (SameName(name, "LAST-MODIFIED")) {
                result = ParseDateTimeProperty(lastModified_);
            } else {
                known = false;
            }
            break;
        case 'O':
            if (SameName(name, "ORGANIZER")) {
                result = ParseOrganizerProperty(target);
            } else {
                known = false;
            }
            break;
        case 'P':
            if (SameName(name, "PRODID")) {
                if ((result = ReadPlainValue()) == R_OK) {
                    AssignCut(prodId_, lexer_->Value(), ics_limits::kProdId);
                }
            } else {
                known = false;
            }
            break;
        case 'R':
            if (SameName(name, "RRULE")) {
                result = ParseRRuleProperty(rrule_);
            } else if (SameName(name, "RECURRENCE-ID")) {
                if ((result = ReadValue()) == R_OK) {
                    result = SetRecurrenceId(lexer_->ValueString().c_str());
                }
            } else {
                known = false;
            }
            break;
        case 'S':
            if (SameName(name, "SUMMARY")) {
                result = ReadTextValue(summary_);
            } else if (SameName(name, "SEQUENCE")) {
                if ((result = ReadPlainValue()) == R_OK) {
                    sequence_ = ToInt32(std::string(ValueCut(ics_limits::kShortValue)));
                }
            } else if (SameName(name, "STATUS")) {
                if ((result = ReadPlainValue()) == R_OK) {
                    AssignCut(status_, lexer_->Value(), ics_limits::kStatus);
                }
            } else {
                known = false;
            }
            break;
        case 'T':
            if (SameName(name, "TRANSP")) {
                if ((result = ReadPlainValue()) == R_OK) {
                    AssignCut(transp_, lexer_->Value(), ics_limits::kTransp);
                }
            } else {
                known = false;
            }
            break;
        case 'U':
            if (SameName(name, "UID")) {
                result = ReadTextValue(uid_);
            } else if (SameName(name, "URL")) {
                result = ReadTextValue(url_);
            } else {
                known = false;
            }
            break;
        case 'V':
            if (SameName(name, "VERSION")) {
                if ((result = ReadPlainValue()) == R_OK) {
                    version_ = ReadVersion(ValueCut(ics_limits::kShortValue));
                }
            } else {
                known = false;
            }
            break;
        case 'X':
            if (SameName(name, "X-WR-TIMEZONE")) {
                result = ReadTextValue(defaultTimeZone_);
            } else if (StartsWithName(name, "X-") && !StartsWithName(name, "X-WR-")) {
                result = AddXProperty(name);
            } else {
                known = false;
            }
            break;
        default:
            known = false;
            break;
    }
    if (!known) {
        result = ReadValue();  // RDATE, CATEGORIES ...: read and dropped
    }
    return result;
}

RResult RIcsComponent::ParseDateTimeProperty(RIcsDateTime*& field) {
    if (field != nullptr) {
        field->Release();
        field = nullptr;
    }
    RIcsLexer& lexer = *lexer_;
    // The zone named by the last TZID parameter: in the text, or in `tzid` when read token by token.
    std::string_view zone;
    auto noteZone = [&zone](std::string_view name, std::string_view value) {
        if (SameName(name, "TZID")) {
            zone = value;
        }
    };
    const bool plain = lexer.Current() == ';' && lexer.ReadPlainParameters(ics_limits::kDateTimeParameter, noteZone);
    std::string tzid;
    if (!plain && lexer.Current() == ';') {
        zone = {};  // what a run that was not plain reported is read again
        if (const RResult result = ReadDateTimeParameters(lexer, tzid, zone); result != R_OK) {
            return result;
        }
    }
    if (lexer.ReadValue() != R_OK) {
        return R_OK;  // the field stays empty
    }
    // A date-time value has at most 16 characters: a longer one is no date.
    const std::string_view value = ValueCut(ics_limits::kShortValue);
    RDateTime parsed;
    if (!ReadIcsDateTimeText(value, &parsed)) {
        // No date at all, or text that is no date (a zero date would be stored and written back
        // as 00000000, and other text would come back as another date): the field stays empty.
        return R_OK;
    }
    if (!value.empty() && value.back() == 'Z') {
        zone = "Z";
    } else if (HasSurroundingQuotes(zone)) {
        zone = zone.substr(1, zone.size() - 2);
    }
    auto* dateTime = new (std::nothrow) RIcsDateTime();
    if (dateTime == nullptr) {
        return R_E_OUT_OF_MEMORY;
    }
    // As SetFromIcs and SetTzid set it, from the digits already read and the zone's known length
    // (the text holds no NUL, so the zone is cut only by the field's size).
    dateTime->dateTime = parsed;
    dateTime->dateOnly = !(value.size() > 8 && value[8] == 'T');
    const std::size_t zoneLength = std::min(zone.size(), sizeof dateTime->tzid - 1);
    zone.copy(dateTime->tzid, zoneLength);
    dateTime->tzid[zoneLength] = '\0';
    dateTime->floating = zoneLength == 0;
    field = dateTime;
    return R_OK;
}

RResult RIcsComponent::ParseRRuleProperty(RIcsRecurrence*& field) {
    RResult result = ReadPlainValue();
    if (result != R_OK) {
        return result;
    }
    auto* rule = new (std::nothrow) RIcsRecurrence();
    if (rule == nullptr) {
        return R_OK;  // the property is dropped
    }
    // Read in place, cut to the limit.
    result = rule->ParseValue(ValueCut(ics_limits::kRRule));
    if (result != R_OK) {
        rule->Release();
        return result;
    }
    if (field != nullptr) {
        field->Release();
    }
    field = rule;
    // EXDATE lines before the RRULE reach the rule as well as those after it. The new rule's
    // set starts empty, so it mirrors this component's set from here on.
    for (const std::string* value : exDates_) {
        AppendRuleExDate(rule, *value);
    }
    ruleMirrorsExDates_ = (&field == &rrule_);
    return R_OK;
}

RResult RIcsComponent::ParseAttendeeProperty(RIcsComponent* target) {
    const bool bare = lexer_->Current() == ':';
    if (ReadValue() == R_OK) {
        KeepParsedAddress<RIcsAttendee>(ValueCut(ics_limits::kAttendeeValue), bare,
                                        [target](RIcsAttendee* attendee) { target->AddAttendee(attendee); });
    }
    return R_OK;  // an attendee that does not parse is dropped silently
}

RResult RIcsComponent::ParseOrganizerProperty(RIcsComponent* target) {
    const bool bare = lexer_->Current() == ':';
    if (ReadValue() == R_OK) {
        KeepParsedAddress<RIcsOrganizer>(ValueCut(ics_limits::kAttendeeValue), bare,
                                         [target](RIcsOrganizer* organizer) { target->SetOrganizer(organizer); });
    }
    return R_OK;
}

RResult RIcsComponent::AddXProperty(std::string_view name) {
    std::optional<std::string> value;
    const RResult result = ReadTextValue(value);
    if (result != R_OK) {
        return result;
    }
    RIcsXProperty property;
    AssignCut(property.name, name, ics_limits::kName);
    ToUpperAscii(property.name);  // kept in upper case, whatever case it was written in
    property.value = std::move(*value);
    xProperties_.push_back(std::move(property));
    return R_OK;
}
