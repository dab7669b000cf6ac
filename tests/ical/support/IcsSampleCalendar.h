#pragma once
// A generated calendar shaped like a busy subscribed feed: a few VTIMEZONEs, then events of which
// a third repeat (with EXDATEs), most with an organizer and attendees, some all-day, some
// exceptions with a RECURRENCE-ID, with folded descriptions and VALARMs.
#include <cstdio>
#include <string>

namespace ics_test {

inline std::string SampleTimeZones() {
    return "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
           "BEGIN:DAYLIGHT\r\nTZNAME:CEST\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
           "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nDTSTART:19700329T020000\r\nEND:DAYLIGHT\r\n"
           "BEGIN:STANDARD\r\nTZNAME:CET\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"
           "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nDTSTART:19701025T030000\r\nEND:STANDARD\r\n"
           "END:VTIMEZONE\r\n"
           "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\n"
           "BEGIN:DAYLIGHT\r\nTZNAME:EDT\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
           "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nDTSTART:20070311T020000\r\nEND:DAYLIGHT\r\n"
           "BEGIN:STANDARD\r\nTZNAME:EST\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
           "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nDTSTART:20071104T020000\r\nEND:STANDARD\r\n"
           "END:VTIMEZONE\r\n"
           "BEGIN:VTIMEZONE\r\nTZID:America/St_Johns\r\n"
           "BEGIN:STANDARD\r\nTZNAME:NST\r\nTZOFFSETFROM:-0230\r\nTZOFFSETTO:-0330\r\n"
           "DTSTART:20071104T000100\r\nEND:STANDARD\r\n"
           "END:VTIMEZONE\r\n";
}

inline std::string SampleEvent(int i) {
    static const char* const kZones[] = {"Europe/Berlin", "America/New_York", "America/St_Johns"};
    const char* zone = kZones[i % 3];
    const int month = 1 + i % 12;
    const int day = 1 + i % 28;
    const int hour = 8 + i % 10;
    char buffer[2048];
    std::string text = "BEGIN:VEVENT\r\n";
    std::snprintf(buffer, sizeof buffer, "UID:%08d-%06d@example.org\r\n", i, i * 7 % 1000000);
    text += buffer;
    std::snprintf(buffer, sizeof buffer, "SUMMARY;LANGUAGE=en:Meeting %d\\, room %d\r\n", i, i % 40);
    text += buffer;
    if (i % 10 == 7) {
        std::snprintf(buffer, sizeof buffer, "DTSTART;VALUE=DATE:2021%02d%02d\r\n", month, day);
        text += buffer;
    } else {
        std::snprintf(buffer, sizeof buffer, "DTSTART;TZID=%s:2021%02d%02dT%02d0000\r\nDTEND;TZID=%s:2021%02d%02dT%02d3000\r\n",
                      zone, month, day, hour, zone, month, day, hour);
        text += buffer;
    }
    if (i % 3 == 0) {
        static const char* const kRules[] = {"FREQ=WEEKLY;BYDAY=MO,WE,FR;UNTIL=20221231T000000Z",
                                             "FREQ=DAILY;COUNT=10", "FREQ=MONTHLY;BYDAY=2TU",
                                             "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH", "FREQ=WEEKLY;INTERVAL=2"};
        std::snprintf(buffer, sizeof buffer, "RRULE:%s\r\nEXDATE;TZID=%s:2021%02d%02dT%02d0000\r\n", kRules[(i / 3) % 5],
                      zone, month, day, hour);
        text += buffer;
    } else if (i % 11 == 5) {
        std::snprintf(buffer, sizeof buffer, "RECURRENCE-ID;TZID=%s:2021%02d%02dT%02d0000\r\n", zone, month, day, hour);
        text += buffer;
    }
    std::snprintf(buffer, sizeof buffer,
                  "LOCATION:Building %d\\, floor %d\r\nDTSTAMP:20210101T120000Z\r\n%sSEQUENCE:%d\r\nSTATUS:CONFIRMED\r\n",
                  i % 17, i % 9, i % 2 == 0 ? "LAST-MODIFIED:20201220T101500Z\r\n" : "", i % 4);
    text += buffer;
    text += "DESCRIPTION:Agenda: open items\\, budget.\\nDial-in details fol\r\n low later.\r\n";
    if (i % 5 != 4) {
        std::snprintf(buffer, sizeof buffer,
                      "ORGANIZER;CN=\"Organizer %d\";EMAIL=\"org%d@example.org\":mailto:org%d@example.org\r\n"
                      "ATTENDEE;CN=\"Person A%d\";PARTSTAT=ACCEPTED:mailto:a%d@example.org\r\n"
                      "ATTENDEE;CN=Room;CUTYPE=ROOM:mailto:room%d@example.org\r\n",
                      i % 13, i % 13, i % 13, i, i, i % 40);
        text += buffer;
    }
    if (i % 4 == 1) {
        text += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n";
    }
    text += "END:VEVENT\r\n";
    return text;
}

inline std::string SampleCalendar(int eventCount) {
    std::string text =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Sample Generator//EN\r\nCALSCALE:GREGORIAN\r\n"
        "X-WR-CALNAME:Sample\r\nX-WR-TIMEZONE:Europe/Berlin\r\n";
    text += SampleTimeZones();
    for (int i = 0; i < eventCount; ++i) {
        text += SampleEvent(i);
    }
    text += "END:VCALENDAR\r\n";
    return text;
}

}  // namespace ics_test
