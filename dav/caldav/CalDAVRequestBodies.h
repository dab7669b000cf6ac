#pragma once
// The fixed request bodies and header blocks of the CalDAV requests, exactly as they go on the
// wire (blanks and TABs included). PROPFIND and REPORT header lines are separated by a single CR.

inline constexpr char kDepth0Headers[] = "Depth: 0\rContent-Type: text/xml";
inline constexpr char kDepth1Headers[] = "Depth: 1\rContent-Type: text/xml";
inline constexpr char kMultigetHeaders[] = "Depth: 1\rContent-Type: text/xml\rBrief: T";

// Collection tag and sync token of one calendar.
inline constexpr char kCtagBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?> <x0:propfind xmlns:x0=\"DAV:\" xmlns:x1=\"http://calendarserver.org/ns/\">   <x0:prop>     <x1:getctag/>     <x0:sync-token/>   </x0:prop> </x0:propfind>";
// Entity tags, schedule tags and content types of a calendar's resources.
inline constexpr char kEtagsBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?> <x0:propfind xmlns:x0=\"DAV:\" xmlns:x1=\"urn:ietf:params:xml:ns:caldav\">   <x0:prop>     <x0:getetag/>     <x1:schedule-tag/> \t<x0:getcontenttype/>   </x0:prop> </x0:propfind>";
// The collections under a calendar home with their 25 properties.
inline constexpr char kCalendarHomeBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?> <x0:propfind xmlns:x0=\"DAV:\" xmlns:x1=\"http://calendarserver.org/ns/\" xmlns:x2=\"urn:ietf:params:xml:ns:caldav\" xmlns:x3=\"http://apple.com/ns/ical/\">  <x0:prop>   <x1:xmpp-server/>   <x1:xmpp-uri/>   <x1:getctag/>   <x0:displayname/>   <x2:calendar-description/>   <x3:calendar-color/>   <x3:calendar-order/>   <x2:supported-calendar-component-set/>   <x0:resourcetype/>   <x0:owner/>   <x2:calendar-free-busy-set/>   <x2:schedule-calendar-transp/>   <x2:schedule-default-calendar-URL/>   <x0:quota-available-bytes/>   <x0:quota-used-bytes/>   <x2:calendar-timezone/>   <x0:current-user-privilege-set/>   <x1:source/>   <x1:subscribed-strip-alarms/>   <x1:subscribed-strip-attachments/>   <x1:subscribed-strip-todos/>   <x3:refreshrate/>   <x1:push-transports/>   <x1:pushkey/>   <x1:publish-url/>  </x0:prop> </x0:propfind>";
// The principal's address at a well-known path.
inline constexpr char kDiscoveryBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?> <x0:propfind xmlns:x0=\"DAV:\">    <x0:prop>     <x0:current-user-principal/> \t<x0:principal-URL/>     <x0:resourcetype/>   </x0:prop> </x0:propfind>";
// The principal's properties.
inline constexpr char kPrincipalPropertiesBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?> <x0:propfind xmlns:x0=\"DAV:\" xmlns:x1=\"urn:ietf:params:xml:ns:caldav\" xmlns:x2=\"http://calendarserver.org/ns/\">   <x0:prop>     <x0:displayname/> \t<x0:principal-URL/> \t<x0:supported-report-set/>     <x0:principal-collection-set/> \t<x1:calendar-home-set/> \t<x1:calendar-user-address-set/> \t<x1:schedule-inbox-URL/> \t<x1:schedule-outbox-URL/> \t<x2:dropbox-home-URL/> \t<x2:xmpp-uri/> \t<x2:notification-URL/>   </x0:prop> </x0:propfind>";
