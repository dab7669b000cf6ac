#pragma once
// The XML namespaces of the WebDAV and CalDAV answers that the program reads.

inline constexpr char kDavNamespace[] = "DAV:";
inline constexpr char kCalDavNamespace[] = "urn:ietf:params:xml:ns:caldav";
inline constexpr char kCardDavNamespace[] = "urn:ietf:params:xml:ns:carddav";
// The calendar-server extensions (getctag, xmpp-uri, source...).
inline constexpr char kCalendarServerNamespace[] = "http://calendarserver.org/ns/";
// The Apple iCal extensions (calendar-color, calendar-order).
inline constexpr char kAppleICalNamespace[] = "http://apple.com/ns/ical/";
