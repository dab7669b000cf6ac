// The component level of the parser: BEGIN/END structure, children and skipped components.
// Every component reads through the one lexer of the parse, so nested components cost no copy.
#include <cstring>
#include <new>

#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsFieldLimits.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/model/RIcsToDo.h"
#include "ical/parser/RIcsLexer.h"
#include "ical/parser/RIcsZoneMemo.h"

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Marks the lexer as one component deeper for the life of a scope.
class DepthGuard {
public:
    explicit DepthGuard(RIcsLexer& lexer) : lexer_(lexer), allowed_(lexer.Enter()) {}
    ~DepthGuard() { lexer_.Leave(); }
    bool Allowed() const { return allowed_; }

private:
    RIcsLexer& lexer_;
    bool allowed_;
};

// Sets the component's lexer for the life of a scope.
class LexerBinding {
public:
    LexerBinding(RIcsLexer*& slot, RIcsLexer& lexer) : slot_(slot), previous_(slot) { slot_ = &lexer; }
    ~LexerBinding() { slot_ = previous_; }

private:
    RIcsLexer*& slot_;
    RIcsLexer* previous_;
};

}  // namespace

RResult RIcsComponent::Parse(const char* text) {
    return Parse(text, nullptr);
}

RResult RIcsComponent::Parse(const char* text, RIcsZoneMemo* memo) {
    if (text == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    ReleaseChildren();
    xProperties_.clear();
    timeZoneIds_.Clear();
    exDates_.Clear();
    exDateLines_.reset();
    ruleMirrorsExDates_ = false;  // a rule kept from before still holds its values

    std::string_view view(text, std::strlen(text));
    if (view.starts_with(kUtf8ByteOrderMark)) {
        view.remove_prefix(kUtf8ByteOrderMark.size());
    }
    // The lexer drops folds as it reads, so that a fold anywhere, even right after a property
    // name, joins its lines.
    RIcsLexer lexer(view);
    lexer.SetZoneMemo(memo);
    LexerBinding binding(lexer_, lexer);
    try {
        return ParseTopLevel(lexer);
    } catch (const std::bad_alloc&) {
        return R_E_OUT_OF_MEMORY;
    }
}

RResult RIcsComponent::ReadComponentName(RIcsLexer& lexer, std::string_view& out) {
    const RResult result = lexer.ReadValue();
    if (result != R_OK) {
        return result;
    }
    // Component names share the limit of property names and are refused, not cut, beyond it.
    if (lexer.Value().size() > ics_limits::kName) {
        return R_E_BUFFER_TOO_SMALL;
    }
    out = lexer.Value();
    return R_OK;
}

RResult RIcsComponent::ParseTopLevel(RIcsLexer& lexer) {
    std::string token;
    if (lexer.ReadToken(token, ics_limits::kName) != R_OK || !SameName(token, "BEGIN")) {
        return R_E_BAD_FORMAT;
    }
    std::string_view name;
    RResult result = ReadComponentName(lexer, name);
    if (result != R_OK) {
        return result;
    }
    name_.assign(name);
    ToUpperAscii(name_);  // kept and written in upper case
    DepthGuard depth(lexer);
    if (name_ == "VCALENDAR") {
        // Several calendars may follow one another (mail archives, some exporters); each one's
        // children join this object. Anything between them is passed over.
        for (;;) {
            result = ParseCalendarBody(lexer);
            if (result != R_OK || !lexer.SeekNextCalendar()) {
                return result;
            }
            lexer.ReadToken(token, ics_limits::kName);  // BEGIN
            if ((result = lexer.ReadValue()) != R_OK) {
                return result;
            }
            defaultTimeZone_.reset();  // a calendar's default zone is its own
        }
    }
    if (name_ == "VTIMEZONE") {
        return ParseTimeZoneChild(lexer);
    }
    if (name_ == "VEVENT") {
        return ParseEventChild(lexer);
    }
    if (name_ == "VTODO") {
        return ParseToDoChild(lexer);
    }
    result = SkipComponent(lexer, name_);
    return name_ == "VALARM" ? R_OK : result;
}

RResult RIcsComponent::ParseComponentBody(RIcsLexer& lexer) {
    LexerBinding binding(lexer_, lexer);
    std::string_view token;
    std::string skippedName;
    for (;;) {
        RResult result = lexer.ReadName(token, ics_limits::kName);
        if (result == R_E_END_OF_TEXT) {
            // A calendar whose END is missing or misspelt keeps the components that ended in it;
            // a text that ends inside any other component may have been cut short.
            return name_ == "VCALENDAR" ? R_OK : R_E_BAD_FORMAT;
        }
        if (result != R_OK) {
            return result;
        }
        if (SameName(token, "END")) {
            result = lexer.ReadValue();
            if (result != R_OK || SameName(lexer.Value(), name_)) {
                return result;
            }
            continue;  // the END of another component
        }
        if (SameName(token, "BEGIN")) {
            std::string_view childName;  // in the lexer's value: read before the child's first line
            result = ReadComponentName(lexer, childName);
            if (result != R_OK) {
                return result;
            }
            DepthGuard depth(lexer);
            if (!depth.Allowed()) {
                return R_E_BAD_FORMAT;
            }
            if (SameName(childName, "VCALENDAR")) {
                result = ParseCalendarBody(lexer);
            } else if (SameName(childName, "VTIMEZONE")) {
                result = lexer.ZoneMemo() != nullptr ? ParseSharedTimeZoneChild(lexer, *lexer.ZoneMemo())
                                                     : ParseTimeZoneChild(lexer);
            } else if ((SameName(childName, "DAYLIGHT") || SameName(childName, "STANDARD")) && name_ == "VTIMEZONE" &&
                       dynamic_cast<RIcsTimeZone*>(this) != nullptr) {
                result = ParseTimeZoneRuleChild(lexer, SameName(childName, "DAYLIGHT") ? "DAYLIGHT" : "STANDARD");
            } else if (SameName(childName, "VEVENT")) {
                result = ParseEventChild(lexer);
            } else if (SameName(childName, "VTODO")) {
                result = ParseToDoChild(lexer);
            } else {
                const bool alarm = SameName(childName, "VALARM");
                skippedName.assign(childName);
                result = SkipComponent(lexer, skippedName);
                if (alarm) {
                    result = R_OK;
                }
            }
        } else {
            result = ParseProperty(token, this);
        }
        if (result != R_OK) {
            return result;
        }
    }
}

template <typename Child, typename Attach>
RResult RIcsComponent::ParseChild(RIcsLexer& lexer, std::string_view name, Attach attach) {
    // Default-initialised: every member has its initialiser, so the object needs no zeroing first.
    Child* child = new (std::nothrow) Child;
    if (child == nullptr) {
        return R_E_OUT_OF_MEMORY;
    }
    RIcsComponent* base = child;
    base->name_.assign(name);
    base->defaultTimeZone_ = defaultTimeZone_;
    RResult result = base->ParseComponentBody(lexer);
    if (result == R_OK) {
        result = attach(child);
    }
    child->Release();  // the holder now owns the only reference
    return result;
}

RResult RIcsComponent::ParseTimeZoneChild(RIcsLexer& lexer) {
    return ParseChild<RIcsTimeZone>(lexer, "VTIMEZONE", [this](RIcsTimeZone* zone) { return AppendTimeZone(zone); });
}

RResult RIcsComponent::ParseSharedTimeZoneChild(RIcsLexer& lexer, RIcsZoneMemo& memo) {
    // The zone read from a block depends on nothing but its text, the nesting depth and the
    // default zone handed down; only a block whose end a plain scan finds is looked up.
    const std::string_view block = lexer.ZoneBlockAhead();
    if (block.empty()) {
        return ParseTimeZoneChild(lexer);
    }
    if (RIcsTimeZone* zone = memo.Find(block, lexer.Depth(), defaultTimeZone_); zone != nullptr) {
        lexer.PassOver(block);
        return AppendTimeZone(zone);
    }
    const std::size_t start = lexer.Position();
    return ParseChild<RIcsTimeZone>(lexer, "VTIMEZONE", [&](RIcsTimeZone* zone) {
        const RResult result = AppendTimeZone(zone);
        // Remembered only when the parse ended where the scan did (a nested component can hide
        // the END line from the parse).
        if (result == R_OK && lexer.Position() == start + block.size()) {
            memo.Remember(block, lexer.Depth(), defaultTimeZone_, zone);
        }
        return result;
    });
}

RResult RIcsComponent::ParseTimeZoneRuleChild(RIcsLexer& lexer, std::string_view ruleName) {
    auto* zone = static_cast<RIcsTimeZone*>(this);
    return ParseChild<RIcsTimeZoneComponent>(lexer, ruleName,
                                             [zone](RIcsTimeZoneComponent* rule) { return zone->AddReadRule(rule); });
}

RResult RIcsComponent::ParseEventChild(RIcsLexer& lexer) {
    return ParseChild<RIcsEvent>(lexer, "VEVENT", [this](RIcsEvent* event) { return AddEventChild(event, this); });
}

RResult RIcsComponent::ParseToDoChild(RIcsLexer& lexer) {
    return ParseChild<RIcsToDo>(lexer, "VTODO", [this](RIcsToDo* todo) { return AddToDoChild(todo, this); });
}

RResult RIcsComponent::SkipComponent(RIcsLexer& lexer, const std::string& name) {
    std::string_view token;
    std::string nested;
    for (;;) {
        // No name limit here: a skipped component is dropped whole, and a long token refused
        // midway would leave the rest of the component to be read as the parent's properties.
        RResult result = lexer.ReadName(token, std::string::npos);
        if (result != R_OK) {
            return result;
        }
        if (SameName(token, "BEGIN")) {
            result = lexer.ReadValue();
            if (result != R_OK) {
                return result;
            }
            nested = lexer.Value();
            DepthGuard depth(lexer);
            if (!depth.Allowed()) {
                return R_E_BAD_FORMAT;
            }
            result = SkipComponent(lexer, nested);
        } else {
            result = lexer.ReadValue();
            if (result == R_OK && SameName(token, "END") && SameName(lexer.Value(), name)) {
                return R_OK;
            }
        }
        if (result != R_OK) {
            return result;
        }
    }
}
