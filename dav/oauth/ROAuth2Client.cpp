#include "dav/oauth/ROAuth2Client.h"

#include <chrono>
#include <cstring>

#include "dav/oauth/OAuth2Text.h"
#include "foundation/debug/DebugTrace.h"
#include "platform/browser/BrowserLauncher.h"
#include "platform/browser/LoopbackCodeListener.h"
#include "platform/http/ConnectionErrorHook.h"
#include "platform/http/HttpClient.h"
#include "platform/http/InternetErrors.h"
#include "platform/http/UrlPath.h"

using platform::browser::LoopbackCodeListener;

namespace {

constexpr char kTokenRequestHeaders[] = "Content-Type: application/x-www-form-urlencoded";
// Characters of a title that are searched for the code.
constexpr size_t kTitleChars = 519;
constexpr size_t kStateBytes = 16;
// 32 random bytes make the 43-character verifier, the shortest PKCE allows.
constexpr size_t kVerifierBytes = 32;

bool HasText(const char* text) { return text != nullptr && *text != '\0'; }

// Plain HTTP is allowed only to this machine (a test's provider); tokens otherwise go over TLS.
bool IsLoopbackHost(std::string host) {
    for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (host == "127.0.0.1" || host == "::1" || host == "[::1]" || host == "localhost") return true;
    const std::string suffix = ".localhost";
    return host.size() > suffix.size() && host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

ROAuth2Client::ROAuth2Client() = default;

ROAuth2Client::~ROAuth2Client() = default;

RResult ROAuth2Client::Init(const char* userAgent, const char* user, const char* password) {
    userAgent_ = HasText(userAgent) ? userAgent : kOAuth2UserAgent;
    user_ = user;
    password_ = password;
    return 0;
}

CStringA ROAuth2Client::BuildAuthorizationUrl(const char* loginHint, const std::string& redirectUri,
                                              const std::string& state, const std::string& challenge) const {
    CStringA url = settings_.authorizationUrl;
    url += url.Find('?') >= 0 ? "&" : "?";
    url += "client_id=" + PercentEncode(settings_.clientId.AsView());
    url += "&redirect_uri=" + PercentEncode(redirectUri);
    url += "&scope=" + PercentEncode(settings_.scope.AsView());
    url += "&response_type=code";
    url += "&login_hint=" + PercentEncode(loginHint != nullptr ? loginHint : "");
    url += "&state=" + PercentEncode(state);
    url += "&code_challenge=" + PercentEncode(challenge);
    url += "&code_challenge_method=S256";
    return url;
}

CStringA ROAuth2Client::BuildTokenForm(const char* code, const char* grantType) const {
    const std::string_view value = code != nullptr ? code : "";
    const bool refresh = grantType != nullptr && std::strcmp(grantType, kRefreshTokenGrant) == 0;
    CStringA form;
    if (refresh) {
        // A refresh carries the refresh token in place of the code, and no redirect or verifier.
        form = "refresh_token=" + PercentEncode(value);
        form += "&client_id=" + PercentEncode(settings_.clientId.AsView());
        form += "&client_secret=" + PercentEncode(settings_.clientSecret.AsView());
        form += "&grant_type=" + PercentEncode(grantType);
        form += "&hl=en-US";
        return form;
    }
    form = "code=" + PercentEncode(value);
    form += "&client_id=" + PercentEncode(settings_.clientId.AsView());
    form += "&client_secret=" + PercentEncode(settings_.clientSecret.AsView());
    form += "&redirect_uri=" + PercentEncode(pending_ != nullptr ? pending_->redirectUri : std::string());
    form += "&grant_type=" + PercentEncode(grantType != nullptr ? grantType : "");
    form += "&hl=en-US";
    if (pending_ != nullptr && !pending_->verifier.empty()) form += "&code_verifier=" + PercentEncode(pending_->verifier);
    return form;
}

CStringA ROAuth2Client::RequestAuthorizationCode(const char* loginHint) {
    if (pending_ == nullptr) return CStringA();
    // A new sign-in replaces the one still waiting.
    if (pending_->listener) pending_->listener->Close();
    *pending_ = PendingSignIn{};
    const std::string state = RandomUrlText(kStateBytes);
    const std::string verifier = RandomUrlText(kVerifierBytes);
    if (state.empty() || verifier.empty()) {
        DebugTrace("OAuth2: no random source for the sign-in");
        return CStringA();
    }
    int error = 0;
    std::shared_ptr<LoopbackCodeListener> listener =
        LoopbackCodeListener::Open(state, std::chrono::minutes(kCodeListenerMinutes), &error);
    if (!listener) {
        DebugTrace("OAuth2: cannot listen for the browser's return (%d)", error);
        return CStringA();
    }
    pending_->listener = listener;
    pending_->redirectUri = listener->RedirectUri();
    pending_->verifier = verifier;
    const CStringA url = BuildAuthorizationUrl(loginHint, pending_->redirectUri, state, CodeChallengeS256(verifier));
    const auto launcher = platform::browser::InstalledBrowserLauncher();
    if (!launcher) {
        DebugTrace("OAuth2: no browser can be opened for signing in");
    } else if (!launcher->Open(url.Str())) {
        DebugTrace("OAuth2: the browser could not be opened for signing in");
    }
    CStringA code;
    for (int i = 0; i < kCodePolls && code.IsEmpty(); ++i) {
        listener->Poll(std::chrono::milliseconds(1000));
        FindCodeWindow(&code);
    }
    return code;
}

void ROAuth2Client::FindCodeWindow(CStringA* code) {
    if (code == nullptr) return;
    code->Empty();
    codeWindow_ = false;
    if (pending_ == nullptr || !pending_->listener) return;
    pending_->listener->Poll(std::chrono::milliseconds(0));
    for (const std::string& title : pending_->listener->PageTitles()) {
        const std::string_view shown = std::string_view(title).substr(0, kTitleChars);
        const CStringA found = CodeFromTitle(shown, platform::browser::kCodeTitleMarker);
        if (!found.IsEmpty()) {
            *code = found;
            codeWindow_ = true;
            return;
        }
    }
}

void ROAuth2Client::CloseCodeWindow() {
    if (codeWindow_) DropPendingSignIn();
}

void ROAuth2Client::DropPendingSignIn() {
    if (pending_ != nullptr) {
        if (pending_->listener) pending_->listener->Close();
        *pending_ = PendingSignIn{};
    }
    codeWindow_ = false;
}

RResult ROAuth2Client::ExchangeToken(const char* code, const char* grantType) {
    const CStringA form = BuildTokenForm(code, grantType);
    const RResult result = PostTokenRequest(kTokenRequestHeaders, form);
    if (result != 0 && !RSucceeded(result)) {
        // Only the provider's refusal of the grant is 401, which makes the caller drop it; a
        // provider that is down or out of reach keeps its own number, and the grant stays.
        CStringA error;
        const bool refused = result == 400 || result == 401 ||
                             (ExtractTokenValue(response_, "error", &error) == 0 && error == "invalid_grant");
        return refused ? 401 : result;
    }
    const RResult extracted = ExtractAccessToken(response_, &accessToken_);
    CStringA refresh;
    if (extracted == 0 && ExtractTokenValue(response_, "refresh_token", &refresh) == 0) refreshToken_ = refresh;
    return extracted;
}

RResult ROAuth2Client::ExtractAccessToken(const char* body, CStringA* token) {
    return ExtractTokenValue(body, "access_token", token);
}

RResult ROAuth2Client::PostTokenRequest(const char* headers, const char* body) {
    using namespace platform::http;
    status_ = 0;
    response_.Empty();
    UrlParts parts;
    if (CrackUrl(settings_.tokenUrl.AsView(), parts) != 0 ||
        !(parts.scheme == "https" || (parts.scheme == "http" && IsLoopbackHost(parts.host)))) {
        DebugTrace("OAuth2: the token address is not an HTTPS address");
        return static_cast<RResult>(ERROR_INTERNET_INVALID_URL);
    }
    DWORD error = 0;
    std::unique_ptr<HttpClient> client = HttpClient::Open(userAgent_, &error);
    if (!client) return static_cast<RResult>(error);
    // The provider knows the program by the form's client id and secret; the account's own
    // user name and password belong to the calendar server and are not sent here.
    HttpConnection connection(*client, parts.host, parts.port, std::string(), std::string());
    HttpRequest request(connection, "POST", parts.path, parts.scheme == "https", nullptr);
    if (HasText(headers)) request.AddHeaders(headers);
    const size_t length = HasText(body) ? std::strlen(body) : 0;
    RResult result = static_cast<RResult>(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    for (int sends = 0; sends < kMaxTokenRequestSends; ++sends) {
        const DWORD sent = request.Send(body, length);
        if (sent != 0) {
            const DWORD answer = ReportConnectionError(sent, request.Url());
            if (answer != 0 && answer != ERROR_INTERNET_FORCE_RETRY) return static_cast<RResult>(answer);
            result = static_cast<RResult>(sent);
            continue;
        }
        std::string code;
        if (request.QueryStatusCode(code) != 0) continue;
        const int status = std::atoi(code.c_str());
        std::string text;
        DWORD available = 0;
        bool readFailed = false;
        while (request.QueryDataAvailable(available) == 0 && available > 0) {
            std::string chunk(available, '\0');
            DWORD read = 0;
            if (request.Read(chunk.data(), available, read) != 0) {
                readFailed = true;
                break;
            }
            if (read == 0) break;
            text.append(chunk.data(), read);
        }
        // The body is text: anything after a NUL is not read.
        text = text.c_str();
        status_ = status;
        response_ = CStringA(text);
        DebugTrace("HTTP Status(%d) %s", status, MaskTokenValues(text).c_str());
        if (status == 0 || readFailed) {
            result = static_cast<RResult>(ERROR_HTTP_INVALID_SERVER_RESPONSE);
            continue;
        }
        request.End();
        return status;
    }
    return result;
}
