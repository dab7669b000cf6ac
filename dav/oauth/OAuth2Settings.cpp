#include "dav/oauth/OAuth2Settings.h"

#include "foundation/settings/RegistryHelpers.h"

namespace {

void ReadInto(const char16_t* valueName, CStringA& field) {
    CStringW text;
    if (ReadRegistryString(HKEY_CURRENT_USER, kOAuth2SettingsKey, valueName, &text) == 0 && !text.IsEmpty()) {
        field = text.ToUtf8();
    }
}

}  // namespace

OAuth2Settings ReadOAuth2Settings() {
    OAuth2Settings settings;
    ReadInto(kOAuth2AuthorizationUrlValue, settings.authorizationUrl);
    ReadInto(kOAuth2TokenUrlValue, settings.tokenUrl);
    ReadInto(kOAuth2ScopeValue, settings.scope);
    ReadInto(kOAuth2ClientIdValue, settings.clientId);
    ReadInto(kOAuth2ClientSecretValue, settings.clientSecret);
    return settings;
}
