// Damaged input: every cut of a real calendar and random damage give a result code of the
// parser's table (or a partial result), never a crash, hang or overrun; what was parsed writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ical/model/RIcsEvent.h"
#include "tests/ical/support/IcsSampleCalendar.h"
#include "tests/ical/support/IcsTestSupport.h"

using ics_test::Parsed;

namespace {

bool IsTableResult(RResult result) {
    return result == R_OK || result == R_E_BAD_FORMAT || result == R_E_END_OF_TEXT || result == R_E_BUFFER_TOO_SMALL;
}

// Parses and writes back whatever was kept; the result must come from the table.
void ParseAndWrite(const std::string& text) {
    Parsed parsed(text);
    EXPECT_TRUE(IsTableResult(parsed.result)) << std::hex << parsed.result;
    ASSERT_NE(parsed->GetText(), nullptr);
    for (int i = 0; i < parsed->GetEventCount(); ++i) {
        parsed->GetEventAt(i)->GetText();
        parsed->GetEventAt(i)->GetExDateLines();
        parsed->GetEventAt(i)->GetAttendeeLines();
    }
}

// A small deterministic generator, so a failure can be repeated.
struct Random {
    std::uint32_t state;
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

}  // namespace

TEST(IcsBadInput, EveryCutOfACalendar) {
    const std::string text = ics_test::SampleCalendar(2);
    for (std::size_t length = 0; length <= text.size(); ++length) {
        ParseAndWrite(text.substr(0, length));
        if (HasFatalFailure()) {
            FAIL() << "cut at " << length;
        }
    }
    // A cut between two events leaves the calendar without its END: what came before is kept.
    const std::size_t secondEvent = text.rfind("BEGIN:VEVENT");
    Parsed partial(text.substr(0, secondEvent));
    EXPECT_EQ(partial.result, R_OK);
    EXPECT_EQ(partial->GetEventCount(), 1);
}

TEST(IcsBadInput, RandomDamageToACalendar) {
    const std::string text = ics_test::SampleCalendar(3);
    static const char kNasty[] = {':', ';', '=', '\r', '\n', ' ', '\t', '"', ',', '\\', 'Z', 'T', '\x80', '\xFF'};
    Random random{12345};
    for (int round = 0; round < 1500; ++round) {
        std::string damaged = text;
        const int edits = 1 + static_cast<int>(random.Next() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random.Next() % damaged.size();
            switch (random.Next() % 4) {
                case 0: damaged[at] = kNasty[random.Next() % sizeof kNasty]; break;
                case 1: damaged.erase(at, 1 + random.Next() % 40); break;
                case 2: damaged.insert(at, std::string(1 + random.Next() % 200, kNasty[random.Next() % sizeof kNasty])); break;
                default: damaged.insert(at, damaged.substr(random.Next() % damaged.size(), random.Next() % 300)); break;
            }
            if (damaged.empty()) {
                damaged = "B";
            }
        }
        ParseAndWrite(damaged);
        if (HasFatalFailure()) {
            FAIL() << "round " << round;
        }
    }
}

TEST(IcsBadInput, BinaryGarbage) {
    Random random{777};
    for (int round = 0; round < 300; ++round) {
        std::string garbage = round % 2 == 0 ? "BEGIN:VCALENDAR\r\n" : "";
        const std::size_t length = random.Next() % 3000;
        for (std::size_t i = 0; i < length; ++i) {
            char c = static_cast<char>(random.Next() & 0xFF);
            garbage += c == '\0' ? '\x01' : c;
        }
        ParseAndWrite(garbage);
    }
    // Text after an embedded NUL is not seen, so the event cut there has no END and is refused.
    const std::string withNul = std::string("BEGIN:VEVENT\nUID:a\n") + '\0' + "SUMMARY:hidden\nEND:VEVENT\n";
    RIcsCalendar* calendar = new RIcsCalendar();
    EXPECT_EQ(calendar->Parse(withNul.data()), R_E_BAD_FORMAT);
    EXPECT_EQ(calendar->GetEventCount(), 0);
    calendar->Release();
}

TEST(IcsBadInput, LongLinesAndManyValues) {
    // One huge folded description and thousands of EXDATEs and attendees in one event.
    std::string text = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20200101T090000Z\r\nRRULE:FREQ=DAILY\r\nDESCRIPTION:";
    for (int i = 0; i < 20000; ++i) {
        text += "0123456789012345678901234567890123456789012345678901234567890123456789012\r\n ";
    }
    text += "end\r\n";
    for (int i = 0; i < 3000; ++i) {
        text += "EXDATE:2020" + std::to_string(1000 + i % 1000) + "T090000Z\r\n";
        text += "ATTENDEE;CN=P" + std::to_string(i) + ":mailto:p" + std::to_string(i) + "@x\r\n";
    }
    text += "END:VEVENT\r\nEND:VCALENDAR\r\n";
    Parsed parsed(text);
    ASSERT_EQ(parsed.result, R_OK);
    RIcsEvent* event = parsed->GetEventAt(0);
    EXPECT_EQ(std::string(event->GetDescription()).size(), 20000u * 73 + 3);
    EXPECT_EQ(event->GetExDates().Count(), 1000u);
    EXPECT_EQ(event->GetAttendeeCount(), 3000);
    EXPECT_NE(parsed->GetText(), nullptr);
}
