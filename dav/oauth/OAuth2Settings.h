#pragma once
// Where and as whom the program signs in to the calendar provider with OAuth 2.0. Each value is
// a string in the settings hive under kOAuth2SettingsKey; a missing or empty value takes the
// default. The client id and secret belong to whoever distributes the program (it registers
// itself with the provider); none are built in, and without a client id no sign-in starts.
// Thread rule: plain values and a free reader; any thread.
#include "platform/string/CString.h"

inline constexpr char16_t kOAuth2SettingsKey[] = u"Software\\BrenmoorTech\\Orvane\\OAuth2";
inline constexpr char16_t kOAuth2AuthorizationUrlValue[] = u"AuthorizationUrl";
inline constexpr char16_t kOAuth2TokenUrlValue[] = u"TokenUrl";
inline constexpr char16_t kOAuth2ScopeValue[] = u"Scope";
inline constexpr char16_t kOAuth2ClientIdValue[] = u"ClientId";
inline constexpr char16_t kOAuth2ClientSecretValue[] = u"ClientSecret";

inline constexpr char kDefaultOAuth2AuthorizationUrl[] = "https://accounts.google.com/o/oauth2/auth";
inline constexpr char kDefaultOAuth2TokenUrl[] = "https://accounts.google.com/o/oauth2/token";
inline constexpr char kDefaultOAuth2Scope[] = "https://www.googleapis.com/auth/calendar";

struct OAuth2Settings {
    CStringA authorizationUrl = kDefaultOAuth2AuthorizationUrl;
    CStringA tokenUrl = kDefaultOAuth2TokenUrl;
    CStringA scope = kDefaultOAuth2Scope;
    CStringA clientId;
    CStringA clientSecret;
};

// The settings as the hive holds them now, with the defaults where it holds none.
OAuth2Settings ReadOAuth2Settings();
