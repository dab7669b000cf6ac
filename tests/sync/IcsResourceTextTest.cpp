// Editing a resource as another client wrote it: only the properties this program writes are
// replaced, everything else (and its folding) stays.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include "sync/IcsResourceText.h"

namespace {

const char kReceived[] =
    "BEGIN:VCALENDAR\r\n"
    "VERSION:2.0\r\n"
    "PRODID:-//Other//Client//EN\r\n"
    "X-WR-CALNAME:Team\r\n"
    "BEGIN:VTIMEZONE\r\n"
    "TZID:Europe/Berlin\r\n"
    "BEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
    "END:VTIMEZONE\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:u1\r\n"
    "SUMMARY:Old title\r\n"
    "DTSTART;TZID=Europe/Berlin:20240301T100000\r\n"
    "DURATION:PT1H\r\n"
    "RRULE:FREQ=DAILY\r\n"
    "STATUS:CONFIRMED\r\n"
    "ORGANIZER;CN=Boss:mailto:boss@example.com\r\n"
    "CATEGORIES:Work,Team\r\n"
    "CLASS:PRIVATE\r\n"
    "X-OTHER-PROP;X-PARAM=1:kept\r\n"
    "DESCRIPTION:a long description that another client folded \r\n"
    " over two lines\r\n"
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\n"
    "UID:u1\n"
    "RECURRENCE-ID;TZID=Europe/Berlin:20240304T100000\n"
    "DTSTART;TZID=Europe/Berlin:20240304T120000\n"
    "SUMMARY:Moved\n"
    "END:VEVENT\n"
    "BEGIN:VEVENT\r\nUID:other\r\nDTSTART:20240301T100000Z\r\nEND:VEVENT\r\n"
    "END:VCALENDAR\r\n";

const char kGenerated[] =
    "BEGIN:VEVENT\r\n"
    "UID:u1\r\n"
    "SUMMARY:New title\r\n"
    "DTSTART;TZID=Europe/Berlin:20240301T110000\r\n"
    "DTEND;TZID=Europe/Berlin:20240301T120000\r\n"
    "RRULE:FREQ=DAILY;COUNT=5\r\n"
    "SEQUENCE:2\r\n"
    "ATTENDEE;CN=Someone:mailto:someone@example.com\r\n"
    "END:VEVENT\r\n";

TEST(IcsResourceText, CutsAReceivedResourceIntoItsParts) {
    const IcsResourceParts parts = SplitIcsResource(kReceived);
    ASSERT_TRUE(parts.valid);
    EXPECT_EQ(parts.calendarProperties.size(), 3u);
    ASSERT_EQ(parts.zones.size(), 1u);
    EXPECT_EQ(parts.zones[0].tzid, "Europe/Berlin");
    ASSERT_EQ(parts.events.size(), 3u);
    EXPECT_NE(parts.FindEvent("u1", ""), nullptr);
    EXPECT_EQ(parts.FindEvent("u1", "")->entries.back().name, "BEGIN:VALARM");
    // The identifier matches however its parameters were written.
    EXPECT_EQ(parts.FindEvent("u1", "TZID=Europe/Berlin:20240304T100000"), &parts.events[1]);
    EXPECT_EQ(parts.FindEvent("u1", "20240304T100000"), &parts.events[1]);
    EXPECT_EQ(parts.FindEvent("u1", "20240305T100000"), nullptr);
    EXPECT_EQ(parts.FindEvent("other", ""), &parts.events[2]);
    EXPECT_FALSE(SplitIcsResource("not a calendar").valid);
}

TEST(IcsResourceText, AnEditReplacesOnlyWhatTheProgramWrites) {
    const IcsResourceParts parts = SplitIcsResource(kReceived);
    const std::string merged = MergeIcsEvent(parts.FindEvent("u1", ""), kGenerated, true, false);
    for (const char* kept : {"STATUS:CONFIRMED\r\n", "ORGANIZER;CN=Boss:mailto:boss@example.com\r\n",
                             "CATEGORIES:Work,Team\r\n", "CLASS:PRIVATE\r\n", "X-OTHER-PROP;X-PARAM=1:kept\r\n",
                             "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"}) {
        EXPECT_NE(merged.find(kept), std::string::npos) << kept;
    }
    for (const char* replaced : {"SUMMARY:Old title", "DURATION", "DTSTART;TZID=Europe/Berlin:20240301T100000",
                                 "RRULE:FREQ=DAILY\r\n", "over two lines", "ATTENDEE"}) {
        EXPECT_EQ(merged.find(replaced), std::string::npos) << replaced;
    }
    for (const char* written : {"SUMMARY:New title\r\n", "DTEND;TZID=Europe/Berlin:20240301T120000\r\n",
                                "RRULE:FREQ=DAILY;COUNT=5\r\n", "SEQUENCE:2\r\n"}) {
        EXPECT_NE(merged.find(written), std::string::npos) << written;
    }
    EXPECT_EQ(merged.rfind("BEGIN:VEVENT\r\n", 0), 0u);
    EXPECT_EQ(merged.substr(merged.size() - 12), "END:VEVENT\r\n");
    EXPECT_EQ(merged.find("\r\n\r\n"), std::string::npos);

    // An event stored without its end keeps the DURATION it was written with.
    const std::string noEnd = MergeIcsEvent(parts.FindEvent("u1", ""), kGenerated, false, false);
    EXPECT_NE(noEnd.find("DURATION:PT1H\r\n"), std::string::npos);
    EXPECT_EQ(noEnd.find("DTEND"), std::string::npos);

    // A new exception made from its master's text leaves the series' rules out.
    const std::string exception = MergeIcsEvent(parts.FindEvent("u1", ""), kGenerated, true, true);
    EXPECT_NE(exception.find("X-OTHER-PROP"), std::string::npos);
    // With nothing received the generated event is the whole answer.
    EXPECT_EQ(MergeIcsEvent(nullptr, kGenerated, true, false), kGenerated);
}

}  // namespace
