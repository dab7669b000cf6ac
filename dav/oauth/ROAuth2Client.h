#pragma once
// One OAuth 2.0 sign-in to the calendar provider (installed-application flow with a loopback
// redirect and PKCE): asks the user's browser for an authorisation code, finds the code in the
// title of the page the browser was answered with, and exchanges a code or a refresh token for
// an access token at the provider's token endpoint.
// Thread rule: belongs to the one thread that runs the sign-in; it lives for one sign-in. The
// pending sign-in it is given belongs to its owner, who keeps other threads off it meanwhile.
#include "foundation/ResultCodes.h"

#include <memory>
#include <string>

#include "dav/oauth/OAuth2Settings.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"

namespace platform::browser {
class LoopbackCodeListener;
}

inline constexpr char kOAuth2UserAgent[] = "RWebDAV 1.0";
inline constexpr char kAuthorizationCodeGrant[] = "authorization_code";
inline constexpr char kRefreshTokenGrant[] = "refresh_token";
// How long the browser's return is waited for, also after the sign-in stopped polling: a person
// may take longer to sign in, and the code is then found by the next sign-in.
inline constexpr int kCodeListenerMinutes = 10;
// Waits of one second for the code.
inline constexpr int kCodePolls = 30;
// Sends of one token request whose answer could not be read.
inline constexpr int kMaxTokenRequestSends = 3;

// What of a sign-in outlives the client that started it: the listener waiting for the browser's
// return, the redirect address and the PKCE verifier the code must be exchanged with.
struct PendingSignIn {
    std::shared_ptr<platform::browser::LoopbackCodeListener> listener;
    std::string redirectUri;
    std::string verifier;
};

class ROAuth2Client : public RRefCounted {
public:
    ROAuth2Client();
    ~ROAuth2Client() override;

    // The user agent (the default one when none is given) and the user, who is the sign-in hint.
    // The password is kept but never sent: the token endpoint is not the calendar server.
    RResult Init(const char* userAgent, const char* user, const char* password);
    void UseSettings(const OAuth2Settings& settings) { settings_ = settings; }
    // The owner's pending sign-in, which this client reads and replaces; null for none.
    void UsePendingSignIn(PendingSignIn* pending) { pending_ = pending; }

    // Opens the browser on the provider's sign-in page and waits (at most kCodePolls seconds,
    // less when the code arrives earlier) for the code. Empty when none was seen.
    CStringA RequestAuthorizationCode(const char* loginHint);
    // The code from a page that already shows one (empty when none does).
    void FindCodeWindow(CStringA* code);
    // Once a code was taken: stops listening for the browser and forgets the pending sign-in.
    void CloseCodeWindow();
    // Stops listening for the browser whether or not a code came.
    void DropPendingSignIn();

    // 0 when an access token was read, -1 when the answer held none, 401 when the provider
    // refused the grant (400 or 401, or invalid_grant); any other failure of the token request
    // gives its own HTTP status or Internet or system error number.
    RResult ExchangeToken(const char* code, const char* grantType);
    // The HTTP status, or an Internet or system error number.
    RResult PostTokenRequest(const char* headers, const char* body);
    // 0, or -1 with `token` unchanged.
    RResult ExtractAccessToken(const char* body, CStringA* token);
    CStringA GetAccessToken() const { return accessToken_; }
    // The refresh token of the last answer that held one; empty when none did.
    CStringA GetRefreshToken() const { return refreshToken_; }

    // The request texts, for their tests.
    CStringA BuildAuthorizationUrl(const char* loginHint, const std::string& redirectUri, const std::string& state,
                                   const std::string& challenge) const;
    CStringA BuildTokenForm(const char* code, const char* grantType) const;
    int GetStatus() const { return status_; }
    CStringA GetResponse() const { return response_; }

private:
    CStringA userAgent_ = kOAuth2UserAgent;
    CStringA user_;
    CStringA password_;
    CStringA accessToken_;
    CStringA refreshToken_;
    int status_ = 0;
    CStringA response_;
    OAuth2Settings settings_;
    PendingSignIn* pending_ = nullptr;
    bool codeWindow_ = false;
};
