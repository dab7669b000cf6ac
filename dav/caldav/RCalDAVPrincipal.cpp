#include "dav/caldav/RCalDAVPrincipal.h"

#include <new>

#include "dav/caldav/CalDAVRequestBodies.h"
#include "dav/caldav/OpenOnServer.h"
#include "dav/discovery/Discovery.h"
#include "dav/discovery/ProviderNames.h"
#include "dav/http/CrackUrl.h"
#include "dav/http/ParseAnswer.h"
#include "dav/xml/DavNamespaces.h"
#include "dav/xml/MultistatusParse.h"
#include "foundation/debug/DebugTrace.h"
#include "foundation/memory/RRef.h"
#include "platform/dns/SrvLookup.h"

namespace {

bool IsAbsoluteHttpUrl(const CStringA& text) {
    CStringA lower = text.Left(8);
    lower.MakeLower();
    return lower.Find("http://") == 0 || lower.Find("https://") == 0;
}

// Failures that send discovery on to the next well-known path: HTTP error statuses. A transport
// or certificate failure would only fail again on the next path (and ask the user again).
bool MovesOn(RResult result) { return IsHttpErrorStatus(result); }

}  // namespace

RCalDAVPrincipal::RCalDAVPrincipal() = default;

RCalDAVPrincipal::~RCalDAVPrincipal() {
    SafeRelease(home_);
    SafeRelease(principal_);
    SafeRelease(wellKnown_);
}

CStringA RCalDAVPrincipal::HostName() const {
    CStringA host;
    if (principal_ != nullptr) principal_->GetServer(&host, nullptr, nullptr, nullptr);
    return host.MakeLower();
}

RResult RCalDAVPrincipal::Connect(const char* host, const char* path, int port, bool secure, const char* user,
                                  const char* password) {
    SafeRelease(principal_);
    SafeRelease(wellKnown_);
    principal_ = new (std::nothrow) RWebDAVConnection();
    if (principal_ == nullptr) return R_E_OUT_OF_MEMORY;
    RResult result = principal_->Initialize(host, port, secure, user, password);
    if (result == 0) result = principal_->SetPath(path);
    principal_->SetUserAgent(userAgent_);
    if (result != 0) return result;
    wellKnown_ = new (std::nothrow) RWebDAVConnection();
    if (wellKnown_ == nullptr) return R_E_OUT_OF_MEMORY;
    result = wellKnown_->Initialize(host, port, secure, user, password);
    if (result == 0) result = wellKnown_->SetPathAsWritten(kWellKnownCalDavPath);
    wellKnown_->SetUserAgent(userAgent_);
    // The well-known request may move the account to the server it is redirected to.
    wellKnown_->SetMayMoveServer(true);
    return result;
}

RResult RCalDAVPrincipal::ConnectToHost(const char* host, int port, bool secure, const char* user, const char* password) {
    const CStringA target = CStringA(host) == kGoogleOldCalDavHost ? CStringA(kGoogleCalDavV2Host) : CStringA(host);
    const CStringA path = BuildPrincipalPath(target, user);
    return Connect(target, path, port, secure, user, password);
}

RResult RCalDAVPrincipal::ConnectByUrl(const char* user, const char* password, const char* url) {
    CStringA host, path;
    int port = 0;
    bool secure = false;
    const RResult result = CrackServerUrl(url, &host, &path, &port, &secure);
    if (result != 0) return result;
    return Connect(host, path, port, secure, user, password);
}

RResult RCalDAVPrincipal::DiscoverBySrv(const char* mailAddress, const char* password) {
    const CStringA address = mailAddress;
    const int at = address.Find('@');
    const CStringA domain = at >= 0 ? address.Mid(at + 1) : CStringA();
    CStringA host;
    int port = 0;
    bool secure = true;
    if (LookupSrvRecord("_caldavs", domain, &host, &port) != 0) {
        secure = false;
        const RResult plain = LookupSrvRecord("_caldav", domain, &host, &port);
        if (plain == static_cast<RResult>(platform::dns::DNS_ERROR_RCODE_NAME_ERROR)) {
            if (at < 0) return plain;
            host = domain;
            port = 443;
            secure = true;
        } else if (plain != 0) {
            return plain;
        }
    }
    return ConnectToHost(host, port, secure, mailAddress, password);
}

RResult RCalDAVPrincipal::SetUserAgent(const char* text) {
    userAgent_ = text;
    if (principal_ != nullptr) principal_->SetUserAgent(text);
    if (wellKnown_ != nullptr) wellKnown_->SetUserAgent(text);
    if (home_ != nullptr) home_->SetUserAgent(text);
    return 0;
}

RResult RCalDAVPrincipal::SetServer(const char* host, int port, const char* path) {
    return principal_ != nullptr ? principal_->SetServer(host, port, path) : 0;
}

RResult RCalDAVPrincipal::SetCredentials(const char* user, const char* password) {
    if (principal_ != nullptr) principal_->SetCredentials(user, password);
    if (wellKnown_ != nullptr) wellKnown_->SetCredentials(user, password);
    if (home_ != nullptr) home_->SetCredentials(user, password);
    return 0;
}

RResult RCalDAVPrincipal::SetBearerToken(const char* token) {
    if (principal_ != nullptr) principal_->SetBearerToken(token);
    if (wellKnown_ != nullptr) wellKnown_->SetBearerToken(token);
    if (home_ != nullptr) home_->SetBearerToken(token);
    return 0;
}

RResult RCalDAVPrincipal::GetAuthCode(CStringA* out) {
    platform::MutexLock lock(authMutex_);
    if (out != nullptr) *out = authCode_;
    return 0;
}

CStringA RCalDAVPrincipal::GetAccessToken() const {
    platform::MutexLock lock(authMutex_);
    return accessToken_;
}

RResult RCalDAVPrincipal::SetAuthCode(const char* code) {
    {
        platform::MutexLock lock(authMutex_);
        if (authCode_ == CStringA(code)) return 0;
        authCode_ = code;
    }
    // This runs where the account is loaded (the user-interface thread): a stored grant is
    // exchanged, but no browser is opened; the next refresh on the worker signs in.
    (void)SignIn(false);
    return 0;
}

RResult RCalDAVPrincipal::Authorize() { return SignIn(true); }

RResult RCalDAVPrincipal::SignIn(bool mayOpenBrowser) {
    const OAuth2Settings settings = ReadOAuth2Settings();
    if (settings.clientId.IsEmpty()) {
        DebugTrace("OAuth2: no client id is set; the account cannot sign in");
        return 401;
    }
    std::unique_lock<platform::Mutex> running(signInMutex_, std::defer_lock);
    if (mayOpenBrowser) {
        running.lock();
    } else if (!running.try_lock()) {
        // The refresh worker is signing in already; it hands the token to the connections.
        return 401;
    }
    RRef<ROAuth2Client> client = RRef<ROAuth2Client>::Adopt(new (std::nothrow) ROAuth2Client());
    if (!client) return 401;
    CStringA user, password;
    if (principal_ != nullptr) principal_->GetCredentials(&user, &password);
    CStringA code;
    {
        platform::MutexLock lock(authMutex_);
        code = authCode_;
    }
    client->Init(userAgent_, user, password);
    client->UseSettings(settings);
    client->UsePendingSignIn(&pendingSignIn_);

    // A stored grant is a refresh token; only a code the browser just brought is exchanged as one.
    bool fromBrowser = false;
    if (code.IsEmpty()) {
        if (!mayOpenBrowser) return 401;
        client->FindCodeWindow(&code);
        if (code.IsEmpty()) code = client->RequestAuthorizationCode(user);
        fromBrowser = !code.IsEmpty();
    } else {
        // The grant makes a sign-in still waiting for the browser needless.
        client->DropPendingSignIn();
    }

    RResult result = 0;
    if (!code.IsEmpty()) {
        {
            platform::MutexLock lock(authMutex_);
            authCode_ = code;
        }
        result = fromBrowser ? client->ExchangeToken(code, kAuthorizationCodeGrant) : client->ExchangeToken(code, kRefreshTokenGrant);
    }
    if (!code.IsEmpty() && result != 0) {
        platform::MutexLock lock(authMutex_);
        // A stored grant goes only when the provider refused it: a provider that is down or out
        // of reach would otherwise send the user back through the browser. A code from the
        // browser is good for one exchange only.
        if (fromBrowser || result == 401) authCode_.Empty();
        accessToken_.Empty();
    } else {
        CStringA token = client->GetAccessToken();
        {
            platform::MutexLock lock(authMutex_);
            accessToken_ = token;
            // The refresh token of the answer is the grant kept for the next start.
            if (!client->GetRefreshToken().IsEmpty()) authCode_ = client->GetRefreshToken();
        }
        SetBearerToken(token);
    }
    client->CloseCodeWindow();
    return result;
}

RResult RCalDAVPrincipal::GetServerUrl(CStringA* out) {
    if (out == nullptr || principal_ == nullptr) return 0;
    CStringA host, path;
    int port = 0;
    bool secure = false;
    principal_->GetServer(&host, &port, &path, &secure);
    out->Format("http%s://%s:%d%s", secure ? "s" : "", host.GetString(), port, path.GetString());
    return 0;
}

RResult RCalDAVPrincipal::GetCalendarHomeSet(CStringA* out) {
    if (out != nullptr) *out = calendarHomeSet_;
    return 0;
}

RResult RCalDAVPrincipal::GetScheduleInboxUrl(CStringA* out) {
    if (out != nullptr) *out = scheduleInboxUrl_;
    return 0;
}

RResult RCalDAVPrincipal::GetScheduleOutboxUrl(CStringA* out) {
    if (out != nullptr) *out = scheduleOutboxUrl_;
    return 0;
}

RResult RCalDAVPrincipal::GetConnection(RWebDAVConnection** out) {
    if (out == nullptr) return R_E_INVALID_ARGUMENT;
    *out = principal_;
    return 0;
}

RResult RCalDAVPrincipal::GetPrincipalUrl(CStringA* out) {
    if (out != nullptr) *out = principalUrl_;
    return 0;
}

bool RCalDAVPrincipal::IsDiscovered() { return discovered_; }

void RCalDAVPrincipal::PointPrincipalAt(const CStringA& url, RWebDAVConnection& base) {
    CStringA host, path, user, password;
    int port = 0;
    bool secure = false;
    if (IsAbsoluteHttpUrl(url)) {
        if (CrackServerUrl(url, &host, &path, &port, &secure) != 0) return;
    } else {
        base.GetServer(&host, &port, nullptr, &secure);
        path = url;
    }
    principal_->GetCredentials(&user, &password);
    principal_->SetServer(host, port, path);
    // SetServer guesses the scheme from the port; the URL or the base connection knows it.
    principal_->Initialize(host, port, secure, user, password);
}

RResult RCalDAVPrincipal::DiscoverPrincipal() {
    if (wellKnown_ == nullptr) return R_E_INVALID_ARGUMENT;
    // The registered name first, as written; then the forms servers also answer to.
    const char* const fallbacks[] = {nullptr, kWellKnownCalDavSlashedPath, "/.well-known/", "/"};
    RResult result = 0;
    // A server error on one form does not rule out the next; it is the answer when no form
    // names a principal, since the server could not say who the user is.
    RResult serverError = 0;
    for (const char* path : fallbacks) {
        if (path != nullptr) wellKnown_->SetPath(path);
        result = wellKnown_->Propfind(kDepth0Headers, kDiscoveryBody);
        if (MovesOn(result)) {
            if (result >= 500) serverError = result;
            continue;
        }
        if (!RSucceeded(result)) return result;
        RHeapBuffer* body = wellKnown_->ReadResponse();
        // A success without a body is no multistatus either.
        if (body == nullptr) return R_E_BAD_FORMAT;
        CStringA url;
        const RResult parsed = ParseDiscoveryResponse(body->data, url);
        if (parsed != 0) return parsed;
        if (url.IsEmpty()) {
            // Some servers answer a well-known path successfully but name no principal there.
            continue;
        }
        if (principal_ != nullptr) {
            principalUrl_ = url;
            PointPrincipalAt(url, *wellKnown_);
        }
        discovered_ = true;
        return 0;
    }
    if (serverError != 0) return serverError;
    return RSucceeded(result) ? 0 : result;
}

RResult RCalDAVPrincipal::ParseDiscoveryResponse(const char* body, CStringA& url) {
    std::unique_ptr<platform::xml::XmlDocument> doc;
    const RResult loaded = LoadMultistatus(body, doc);
    if (loaded != 0 || !doc) return loaded;
    const auto root = doc->Root();
    // An empty element (a property the server does not have) names nothing.
    if (const auto node = root.FindDescendant("principal-URL", kDavNamespace); node) {
        const CStringA text = HrefValueText(node);
        if (!text.IsEmpty()) url = text;
    }
    if (const auto node = root.FindDescendant("current-user-principal", kDavNamespace); node) {
        const CStringA text = HrefValueText(node);
        if (!text.IsEmpty()) url = text;
    }
    return 0;
}

RResult RCalDAVPrincipal::LoadProperties() {
    if (principal_ == nullptr) return R_E_INVALID_ARGUMENT;
    RResult result = principal_->Propfind(kDepth0Headers, kPrincipalPropertiesBody);
    if (result == 404 || result == 405 || result == 410) {
        const RResult discovered = DiscoverPrincipal();
        if (!RSucceeded(discovered)) return discovered;
        result = principal_->Propfind(kDepth0Headers, kPrincipalPropertiesBody);
    }
    return ParseAnswer(*principal_, result, [this](const char* body) { return ParseProperties(body); });
}

RResult RCalDAVPrincipal::ParseProperties(const char* body) {
    std::unique_ptr<platform::xml::XmlDocument> doc;
    const RResult loaded = LoadMultistatus(body, doc);
    if (loaded != 0 || !doc) return loaded;
    const auto root = doc->Root();
    auto take = [&](const char* name, const char* ns, CStringA& field, bool href) {
        if (const auto node = root.FindDescendant(name, ns); node) field = href ? HrefValueText(node) : CStringA(node.Text());
    };
    take("displayname", kDavNamespace, displayName_, false);
    take("principal-URL", kDavNamespace, principalUrl_, true);
    take("calendar-home-set", kCalDavNamespace, calendarHomeSet_, true);
    take("schedule-inbox-URL", kCalDavNamespace, scheduleInboxUrl_, true);
    take("schedule-outbox-URL", kCalDavNamespace, scheduleOutboxUrl_, true);
    take("calendar-user-address-set", kCalDavNamespace, calendarUserAddressSet_, true);
    take("xmpp-uri", kCalendarServerNamespace, xmppUri_, false);
    take("principal-collection-set", kDavNamespace, principalCollectionSet_, true);
    if (const auto node = root.FindDescendant("supported-report-set", kDavNamespace); node) {
        supportedReportSet_ = CStringA(node.Markup());
    }
    return 0;
}

RResult RCalDAVPrincipal::LoadCalendarHome(bool full) {
    // A home opened on a guess is opened again where the server now says the home is.
    const bool named = !calendarHomeSet_.IsEmpty();
    if (home_ == nullptr || (homeGuessed_ && named)) {
        if (principal_ == nullptr) return R_E_INVALID_ARGUMENT;
        if (home_ == nullptr) home_ = new (std::nothrow) RCalDAVCalendarHome();
        if (home_ == nullptr) return R_E_OUT_OF_MEMORY;
        // The home always lives on the principal's server: an absolute home URL gives its path.
        if (IsAbsoluteHttpUrl(calendarHomeSet_)) {
            CStringA path;
            CrackUrl(calendarHomeSet_, &path, nullptr, nullptr, nullptr);
            calendarHomeSet_ = path;
        }
        homeGuessed_ = !named;
        const RResult opened = OpenOnServerOf(*principal_, calendarHomeSet_, *home_);
        if (opened != 0) return opened;
    }
    return home_->LoadCalendars();
}

bool RCalDAVPrincipal::GetNamedCalendarHome(CStringA* path) {
    if (path != nullptr) path->Empty();
    if (home_ == nullptr || homeGuessed_) return false;
    if (path != nullptr) {
        RWebDAVConnection* connection = nullptr;
        home_->GetConnection(&connection);
        if (connection != nullptr) connection->GetServer(nullptr, nullptr, path, nullptr);
        SafeRelease(connection);
    }
    return true;
}

bool RCalDAVPrincipal::GetCertificateProblem(platform::http::CertificateProblem* out) {
    if (principal_ != nullptr && principal_->GetCertificateProblem(out)) return true;
    if (wellKnown_ != nullptr && wellKnown_->GetCertificateProblem(out)) return true;
    if (home_ == nullptr) return false;
    RWebDAVConnection* connection = nullptr;
    home_->GetConnection(&connection);
    const bool found = connection != nullptr && connection->GetCertificateProblem(out);
    SafeRelease(connection);
    if (found) return true;
    for (int i = 0; i < home_->GetCalendarCount(); ++i) {
        RCalDAVCalendar* calendar = home_->GetAt(i);
        if (calendar == nullptr) continue;
        calendar->GetConnection(&connection);
        const bool kept = connection != nullptr && connection->GetCertificateProblem(out);
        SafeRelease(connection);
        if (kept) return true;
    }
    return false;
}

int RCalDAVPrincipal::GetCalendarCount() { return home_ != nullptr ? home_->GetCalendarCount() : 0; }

RCalDAVCalendar* RCalDAVPrincipal::GetCalendarAt(int index) { return home_ != nullptr ? home_->GetAt(index) : nullptr; }

RCalDAVCalendar* RCalDAVPrincipal::FindCalendar(const char* href) { return home_ != nullptr ? home_->FindByHref(href) : nullptr; }

bool RCalDAVPrincipal::GetLastListing(std::vector<RCalDAVCalendar*>* out) {
    if (home_ == nullptr) {
        if (out != nullptr) out->clear();
        return false;
    }
    return home_->GetLastListing(out);
}

bool RCalDAVPrincipal::ApplyPrincipalUrl() {
    if (principal_ == nullptr) return false;
    CStringA host, path, urlHost, urlPath;
    int port = 0, urlPort = 0;
    principal_->GetServer(&host, &port, &path, nullptr);
    if (IsAbsoluteHttpUrl(principalUrl_)) CrackUrl(principalUrl_, &urlPath, &urlHost, nullptr, &urlPort);
    const bool differs = (!urlHost.IsEmpty() && !host.IsEmpty() && urlHost != host) || (urlPort != 0 && port != 0 && urlPort != port) ||
                         (!urlPath.IsEmpty() && !path.IsEmpty() && urlPath != path) ||
                         (!principalUrl_.IsEmpty() && !path.IsEmpty() && path != principalUrl_ && !(urlPath == path && urlHost == host && urlPort == port));
    if (!differs) return false;
    if (!urlHost.IsEmpty() && urlPort != 0) {
        PointPrincipalAt(principalUrl_, *principal_);
    } else {
        principal_->SetPath(principalUrl_);
    }
    return true;
}
