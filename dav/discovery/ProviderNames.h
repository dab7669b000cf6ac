#pragma once
// Host and domain names of the calendar providers that get path rules of their own. They are
// matched as lower-case substrings of a server's host name (the old Google host exactly).

inline constexpr char kYahooDomain[] = "yahoo.com";
inline constexpr char kGoogleMainDomain[] = "google.com";
inline constexpr char kGoogleMailDomain[] = "gmail.com";
inline constexpr char kGoogleUserContentDomain[] = "googleusercontent.com";
inline constexpr char kGoogleOldCalDavHost[] = "www.google.com";
inline constexpr char kGoogleCalDavV2Host[] = "apidata.googleusercontent.com";
inline constexpr char kAppleMeDomain[] = "me.com";
inline constexpr char kAppleMacDomain[] = "mac.com";
inline constexpr char kAppleICloudDomain[] = "icloud.com";
