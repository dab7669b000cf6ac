#include "dav/http/RWebDAVConnection.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dav/http/BodyScanners.h"
#include "dav/http/CrackUrl.h"
#include "foundation/debug/DebugTrace.h"
#include "foundation/debug/RDebugLog.h"
#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"
#include "platform/http/ConnectionErrorHook.h"
#include "platform/http/HeaderBlock.h"
#include "platform/http/HttpClient.h"
#include "platform/http/InternetErrors.h"
#include "platform/http/UrlPath.h"

using platform::http::HttpClient;
using platform::http::HttpConnection;
using platform::http::HttpRequest;

namespace {

// All sends of one request, retries after the error callback included.
constexpr int kMaxSends = 6;
// Redirects that one GET follows.
constexpr int kMaxGetRedirects = 5;
constexpr size_t kStatusTextMax = 4095;

bool IsVerb(const char* verb, const char* name) { return std::strcmp(verb, name) == 0; }

bool TakesHref(const char* verb) {
    return IsVerb(verb, "PUT") || IsVerb(verb, "GET") || IsVerb(verb, "MOVE") || IsVerb(verb, "DELETE");
}

bool HasText(const char* text) { return text != nullptr && *text != '\0'; }

}  // namespace

RWebDAVConnection::RWebDAVConnection() = default;

RWebDAVConnection::~RWebDAVConnection() {
    FreeResponse();
    request_.reset();
    connection_.reset();
    client_.reset();
}

bool RWebDAVConnection::LoggingOn() {
    return ReadDebugLogFlag(kOrvaneSettingsKey) != 0 || ReadDebugLogFlag(kTessivaSettingsKey) != 0;
}

void RWebDAVConnection::FreeResponse() {
    RHeapBuffer::Free(response_);
    response_ = nullptr;
}

void RWebDAVConnection::CloseRequest() {
    request_.reset();
    detourConnection_.reset();
}

void RWebDAVConnection::CloseConnection() {
    request_.reset();
    detourConnection_.reset();
    connection_.reset();
}

RResult RWebDAVConnection::Initialize(const char* host, int port, bool secure, const char* user, const char* password) {
    platform::RecursiveMutexLock guard(mutex_);
    try {
        host_ = host;
        port_ = port;
        secure_ = secure;
        user_ = user;
        password_ = password;
    } catch (const std::bad_alloc&) {
        return R_E_CONNECTION_SETUP;
    }
    return 0;
}

RResult RWebDAVConnection::GetServer(CStringA* host, int* port, CStringA* path, bool* secure) {
    platform::RecursiveMutexLock guard(mutex_);
    if (host != nullptr) *host = host_;
    if (port != nullptr) *port = port_;
    if (path != nullptr) *path = path_;
    if (secure != nullptr) *secure = secure_;
    return 0;
}

RResult RWebDAVConnection::SetServer(const char* host, int port, const char* path) {
    platform::RecursiveMutexLock guard(mutex_);
    FreeResponse();
    CloseConnection();
    host_ = host;
    port_ = port;
    secure_ = port == 443;
    return SetPath(path);
}

RResult RWebDAVConnection::SetPath(const char* path) {
    platform::RecursiveMutexLock guard(mutex_);
    FreeResponse();
    CloseRequest();
    path_ = HasText(path) ? path : "/";
    pathAsWritten_ = false;
    return 0;
}

RResult RWebDAVConnection::SetPathAsWritten(const char* path) {
    platform::RecursiveMutexLock guard(mutex_);
    SetPath(path);
    pathAsWritten_ = true;
    return 0;
}

void RWebDAVConnection::SetMayMoveServer(bool may) {
    platform::RecursiveMutexLock guard(mutex_);
    mayMoveServer_ = may;
}

RResult RWebDAVConnection::GetCredentials(CStringA* user, CStringA* password) {
    platform::RecursiveMutexLock guard(mutex_);
    if (user != nullptr) *user = user_;
    if (password != nullptr) *password = password_;
    return 0;
}

RResult RWebDAVConnection::SetCredentials(const char* user, const char* password) {
    platform::RecursiveMutexLock guard(mutex_);
    bool changed = false;
    if (user_ != CStringA(user)) {
        user_ = user;
        changed = true;
    }
    if (password_ != CStringA(password)) {
        password_ = password;
        changed = true;
    }
    if (changed) {
        FreeResponse();
        CloseConnection();
    }
    return 0;
}

RResult RWebDAVConnection::GetBearerToken(CStringA* token) {
    platform::RecursiveMutexLock guard(mutex_);
    if (token != nullptr) *token = bearerToken_;
    return 0;
}

RResult RWebDAVConnection::SetBearerToken(const char* token) {
    platform::RecursiveMutexLock guard(mutex_);
    if (token != nullptr && !platform::http::IsSafeHeaderValue(token)) return R_E_INVALID_ARGUMENT;
    bearerToken_ = token;
    return 0;
}

RResult RWebDAVConnection::SetUserAgent(const char* text) {
    platform::RecursiveMutexLock guard(mutex_);
    userAgent_ = HasText(text) ? text : kDefaultWebDAVUserAgent;
    return 0;
}

CStringA RWebDAVConnection::GetUserAgent() {
    platform::RecursiveMutexLock guard(mutex_);
    return userAgent_;
}

RResult RWebDAVConnection::SendWithRedirects(const char* headers, const char* body, const char* verb, const char* href,
                                             int retries) {
    RResult result = SendRequest(headers, body, verb, href);
    // A redirect that was not followed would only be asked again.
    for (int i = 0; i < retries && IsRedirectStatus(result) && redirectTaken_; ++i) result = SendRequest(headers, body, verb, href);
    // A one-off target belongs to this request only.
    detour_ = Target{};
    return result;
}

RResult RWebDAVConnection::Report(const char* headers, const char* body) {
    platform::RecursiveMutexLock guard(mutex_);
    return SendWithRedirects(headers, body, "REPORT", nullptr, 1);
}

RResult RWebDAVConnection::Propfind(const char* headers, const char* body) {
    platform::RecursiveMutexLock guard(mutex_);
    return SendWithRedirects(headers, body, "PROPFIND", nullptr, 1);
}

RResult RWebDAVConnection::PropfindStreamed(const char* headers, const char* body, platform::http::BodySink& sink,
                                            bool* hadBody) {
    platform::RecursiveMutexLock guard(mutex_);
    bodySink_ = &sink;
    const RResult result = SendWithRedirects(headers, body, "PROPFIND", nullptr, 1);
    bodySink_ = nullptr;
    if (hadBody != nullptr) *hadBody = false;
    if (!RSucceeded(result)) return result;
    if (request_ && request_->StreamedBytes() > 0) {
        if (hadBody != nullptr) *hadBody = true;
        return result;
    }
    // Kept, for the debug log: given whole, up to its first NUL as a parser of the kept text reads it.
    if (RHeapBuffer* kept = ReadResponse(); kept != nullptr) {
        sink.Restart();
        sink.Piece(kept->data, std::strlen(kept->data));
        if (hadBody != nullptr) *hadBody = true;
    }
    return result;
}

RResult RWebDAVConnection::Delete(const char* headers, const char* href) {
    platform::RecursiveMutexLock guard(mutex_);
    return SendWithRedirects(headers, nullptr, "DELETE", href, 0);
}

RResult RWebDAVConnection::Get(const char* headers, const char* href) {
    platform::RecursiveMutexLock guard(mutex_);
    return SendWithRedirects(headers, nullptr, "GET", href, kMaxGetRedirects);
}

RResult RWebDAVConnection::Put(const char* headers, const char* body, const char* href) {
    platform::RecursiveMutexLock guard(mutex_);
    return SendWithRedirects(headers, body, "PUT", href, 1);
}

RResult RWebDAVConnection::Move(const char* href, const char* destination, bool overwrite) {
    platform::RecursiveMutexLock guard(mutex_);
    const CStringA target = destination;
    if (destination != nullptr && !platform::http::IsSafeHeaderValue(destination)) return R_E_INVALID_ARGUMENT;
    const CStringA headers = "Destination: " + target + "\nOverwrite: " + (overwrite ? "T" : "F");
    return SendWithRedirects(headers, nullptr, "MOVE", href, 0);
}

CStringA RWebDAVConnection::AbsoluteUrl(const char* path) {
    platform::RecursiveMutexLock guard(mutex_);
    CStringA url = secure_ ? "https://" : "http://";
    CStringA host = host_;
    if (host.Find(':') >= 0 && host.Find('[') != 0) host = "[" + host + "]";
    url += host;
    if (!((secure_ && port_ == 443) || (!secure_ && port_ == 80))) url.AppendFormat(":%d", port_);
    std::string encoded = platform::http::EncodeUrlPath(path != nullptr ? path : "");
    if (encoded.empty() || encoded.front() != '/') encoded.insert(encoded.begin(), '/');
    url += CStringA(encoded);
    return url;
}

CStringA RWebDAVConnection::ResourcePath(const char* verb, const char* href) const {
    const bool withHref = HasText(href) && TakesHref(verb);
    if (!withHref && pathAsWritten_) return path_;
    CStringA requestPath = path_;
    if (requestPath.IsEmpty() || requestPath[requestPath.GetLength() - 1] != '/') requestPath += '/';
    if (!HasText(href) || !TakesHref(verb)) return requestPath;
    // A redirect moves only the resource it was given for.
    if (!movedTo_.path.IsEmpty() && movedTo_.href == CStringA(href)) return movedTo_.path;
    return requestPath + href;
}

RResult QueryStatus(HttpRequest& request, int* status, CStringA* statusText) {
    *status = 0;
    std::string code;
    const DWORD error = request.QueryStatusCode(code);
    if (error != 0) return static_cast<RResult>(error);
    *status = std::atoi(code.c_str());
    if (*status >= 300 && statusText != nullptr) {
        std::string text;
        const DWORD textError = request.QueryStatusText(text);
        if (textError != 0) return static_cast<RResult>(textError);
        if (text.size() > kStatusTextMax) text.resize(kStatusTextMax);
        *statusText = CStringA(text);
    }
    return 0;
}

RResult ReadBodyByContentLength(HttpRequest& request, std::string& out) {
    out.clear();
    std::string header;
    size_t length = 8192;
    if (request.QueryHeader("Content-Length", header)) {
        const long long value = std::atoll(header.c_str());
        length = value <= 0 ? 0 : static_cast<size_t>(value);
    }
    if (length == 0) return 0;
    if (length > platform::http::kMaxResponseBytes) length = platform::http::kMaxResponseBytes;
    out.resize(length);
    DWORD read = 0;
    const DWORD error = request.Read(out.data(), static_cast<DWORD>(length), read);
    out.resize(read);
    return static_cast<RResult>(error);
}

namespace {

bool SameHost(const CStringA& a, const CStringA& b) { return a.CompareNoCase(b) == 0; }

}  // namespace

bool RWebDAVConnection::TakeRedirect(const Target& to, const char* verb, const char* href, int status) {
    // Never from TLS to plain text: the request (and its credentials) would travel in the clear.
    if (current_.secure && !to.secure) return false;
    const bool permanent = status == 301 || status == 308;
    const bool toOrigin = SameHost(to.host, host_) && to.port == port_ && to.secure == secure_;
    if (toOrigin) {
        if (permanent && !current_.detour) {
            if (HasText(href) && TakesHref(verb)) {
                movedTo_.href = href;
                movedTo_.path = to.path;
            } else {
                FreeResponse();
                CloseRequest();
                path_ = to.path.IsEmpty() ? CStringA("/") : to.path;
                pathAsWritten_ = true;
            }
            return true;
        }
        detour_ = to;
        detour_.detour = true;
        detour_.anonymous = current_.anonymous;
        return true;
    }
    // Discovery may move the account to another server, which becomes its origin and gets the
    // credentials: to another host only from https to https, since anyone on the path can
    // forge a plain-text redirect; over plain http only to another port of the same host.
    const bool mayMoveThere = SameHost(to.host, host_) || (secure_ && to.secure);
    if (mayMoveServer_ && !current_.detour && mayMoveThere) {
        FreeResponse();
        CloseConnection();
        host_ = to.host;
        port_ = to.port;
        secure_ = to.secure;
        path_ = to.path.IsEmpty() ? CStringA("/") : to.path;
        pathAsWritten_ = true;
        return true;
    }
    if (!IsVerb(verb, "GET")) return false;
    // Another origin: the request goes there once, without the account's credentials.
    detour_ = to;
    detour_.detour = true;
    detour_.anonymous = true;
    return true;
}

void RWebDAVConnection::HandleRedirect(const char* verb, const char* href, int status) {
    redirectStatus_ = status;
    std::string location;
    if (request_ && request_->QueryHeader("Location", location) && !location.empty()) {
        Target to;
        platform::http::UrlParts parts;
        if (platform::http::CrackUrl(location, parts) == 0) {
            if (parts.scheme != "http" && parts.scheme != "https" && parts.scheme != "webcal" && parts.scheme != "webcals") return;
            to.host = CStringA(parts.host);
            to.port = parts.port;
            to.secure = platform::http::IsSecureScheme(parts.scheme);
            std::string path = parts.path;
            const size_t fragment = parts.extra.find('#');
            path += parts.extra.substr(0, fragment);
            to.path = CStringA(path);
        } else if (location.front() == '/' && (location.size() < 2 || location[1] != '/')) {
            to.host = current_.host;
            to.port = current_.port;
            to.secure = current_.secure;
            to.path = CStringA(location.substr(0, location.find('#')));
        } else {
            return;
        }
        to.asWritten = true;
        redirectTaken_ = TakeRedirect(to, verb, href, status);
        return;
    }
    // No Location: the body tells where the resource went.
    if (IsVerb(verb, "PUT") || IsVerb(verb, "DELETE")) {
        RHeapBuffer* body = ReadResponse();
        CStringA moved;
        if (body != nullptr && FindMovedToUrl(std::string_view(body->data, static_cast<size_t>(body->size)), moved) >= 0 &&
            HasText(href)) {
            Target to = current_;
            to.path = moved;
            to.asWritten = false;
            redirectTaken_ = TakeRedirect(to, verb, href, status);
        }
    } else {
        FollowRedirect();
    }
}

RResult RWebDAVConnection::SendRequest(const char* headers, const char* body, const char* verb, const char* href) {
    platform::RecursiveMutexLock guard(mutex_);
    const bool logging = LoggingOn();
    CloseRequest();
    FreeResponse();
    redirectTaken_ = false;
    redirectStatus_ = 0;

    if (!client_) {
        DWORD error = 0;
        client_ = HttpClient::Open(userAgent_, &error);
        if (!client_) return static_cast<RResult>(error);
    }
    if (detour_.detour) {
        current_ = detour_;
        detour_ = Target{};
    } else {
        current_ = Target{host_, port_, secure_, ResourcePath(verb, href), pathAsWritten_ && !(HasText(href) && TakesHref(verb)), false, false};
    }
    HttpConnection* connection = nullptr;
    const bool ownOrigin = SameHost(current_.host, host_) && current_.port == port_ && current_.secure == secure_;
    if (ownOrigin && !current_.anonymous) {
        if (!connection_) {
            connection_ = std::make_unique<HttpConnection>(*client_, host_.Str(), static_cast<std::uint16_t>(port_), user_.Str(),
                                                           password_.Str());
        }
        connection = connection_.get();
    } else {
        // Credentials belong to the stored origin only.
        detourConnection_ = std::make_unique<HttpConnection>(*client_, current_.host.Str(), static_cast<std::uint16_t>(current_.port),
                                                             std::string(), std::string());
        connection = detourConnection_.get();
    }
    const CStringA& resourcePath = current_.path;
    request_ = std::make_unique<HttpRequest>(*connection, verb, resourcePath.AsView(), current_.secure,
                                             IsVerb(verb, "PUT") ? "*/*" : "text/*", current_.asWritten);
    // The debug log shows every body, so it keeps them.
    if (bodySink_ != nullptr && !logging) request_->SetBodySink(bodySink_);
    if (HasText(headers) && current_.anonymous) {
        // Nothing that authorises goes to another origin, not even in the caller's own lines.
        for (const std::string& line : platform::http::SplitHeaderBlock(headers)) {
            const std::string name = line.substr(0, line.find(':'));
            if (CStringA(name).Trim().CompareNoCase("Authorization") != 0) request_->AddHeaders(line);
        }
    } else if (HasText(headers)) {
        request_->AddHeaders(headers);
    }
    const bool sendsToken = !bearerToken_.IsEmpty() && !current_.anonymous && ownOrigin;
    if (sendsToken) request_->AddHeaders(("Authorization: Bearer " + bearerToken_).AsView());

    if (logging) {
        g_debugLog.Printf("^^^^^^^^^^^^");
        g_debugLog.Printf("%s %s:%d%s", verb, current_.host.GetString(), current_.port, resourcePath.GetString());
        if (HasText(headers)) g_debugLog.Printf("%s", headers);
        // The token itself is a secret: the log shows only that one was sent.
        if (sendsToken) g_debugLog.Printf("Authorization: Bearer ***");
        if (HasText(body)) g_debugLog.Write(body, static_cast<int>(std::strlen(body)));
    }

    const size_t bodyLength = HasText(body) ? std::strlen(body) : 0;
    RResult result = 0;
    int sends = 0;
    while (result == 0 && request_ && sends < kMaxSends) {
        const DWORD error = request_->Send(body, bodyLength);
        ++sends;
        int status = 0;
        if (error == platform::http::ERROR_RESPONSE_TOO_LARGE) {
            // Sending again would fetch the same answer.
            result = R_E_RESPONSE_TOO_LARGE;
            break;
        }
        if (const platform::http::CertificateProblem* certificate = request_->Certificate(); certificate != nullptr) {
            certificateProblem_ = *certificate;
            hasCertificateProblem_ = true;
            if (platform::http::AskAboutCertificate(*certificate) == platform::http::CertificateDecision::AcceptForThisRun) {
                platform::http::AcceptCertificate(certificate->host, certificate->port, certificate->publicKeyPin);
                hasCertificateProblem_ = false;
                continue;  // sent again under the pin
            }
            result = static_cast<RResult>(error);
            break;
        }
        if (error != 0) {
            const DWORD answer = platform::http::ReportConnectionError(error, request_->Url());
            if (answer == 0 || answer == platform::http::ERROR_INTERNET_FORCE_RETRY) {
                QueryStatus(*request_, &status, nullptr);
                if (IsRedirectStatus(status)) {
                    HandleRedirect(verb, href, status);
                    result = status;
                } else if (sends >= kMaxSends) {
                    result = static_cast<RResult>(error);
                }
            } else {
                result = static_cast<RResult>(answer);
            }
            continue;
        }
        hasCertificateProblem_ = false;
        CStringA statusText;
        const RResult queried = QueryStatus(*request_, &status, &statusText);
        // An answer without a readable status is no answer.
        result = queried != 0 ? queried : (status != 0 ? status : static_cast<RResult>(platform::http::ERROR_HTTP_INVALID_SERVER_RESPONSE));
        if (status >= 400) {
            RHeapBuffer* answerBody = ReadResponse();
            if (answerBody != nullptr) {
                DebugTrace("HTTP %s Status(%d) %s\r%s", verb, status, statusText.GetString(), answerBody->data);
                if (logging) g_debugLog.Printf("HTTP %s Status(%d) %s\r%s", verb, status, statusText.GetString(), answerBody->data);
            } else {
                DebugTrace("HTTP Status(%d) %s", status, statusText.GetString());
                if (logging) g_debugLog.Printf("HTTP Status(%d) %s", status, statusText.GetString());
            }
        } else if (IsRedirectStatus(status)) {
            HandleRedirect(verb, href, status);
        }
    }
    if (RSucceeded(result) && result != 0 && (IsVerb(verb, "PUT") || IsVerb(verb, "DELETE"))) {
        movedTo_ = MovedTo{};
    }
    return result;
}

bool RWebDAVConnection::GetCertificateProblem(platform::http::CertificateProblem* out) {
    platform::RecursiveMutexLock guard(mutex_);
    if (hasCertificateProblem_ && out != nullptr) *out = certificateProblem_;
    return hasCertificateProblem_;
}

RHeapBuffer* RWebDAVConnection::ReadResponse() {
    platform::RecursiveMutexLock guard(mutex_);
    const bool logging = LoggingOn();
    if (request_ && response_ == nullptr) {
        // The whole body at once, without a copy.
        char* data = nullptr;
        size_t size = 0;
        if (request_->TakeBody(data, size)) {
            if (size > 0 && size < static_cast<size_t>(INT32_MAX)) {
                response_ = RHeapBuffer::Adopt(data, static_cast<int>(size));
                if (response_ == nullptr) return nullptr;
            } else {
                std::free(data);
            }
        }
    }
    if (request_) {
        DWORD available = 0;
        while (request_->QueryDataAvailable(available) == 0 && available > 0) {
            std::string chunk(available, '\0');
            DWORD read = 0;
            if (request_->Read(chunk.data(), available, read) != 0 || read == 0) break;
            if (response_ == nullptr) {
                response_ = RHeapBuffer::Create(static_cast<int>(read));
                if (response_ == nullptr) return nullptr;
                std::memcpy(response_->data, chunk.data(), read);
            } else if (RHeapBuffer::Append(response_, chunk.data(), static_cast<int>(read)) != 0) {
                // A body with a hole is no body.
                FreeResponse();
                return nullptr;
            }
        }
    }
    if (response_ == nullptr) return nullptr;
    const char zero = '\0';
    if (RHeapBuffer::Append(response_, &zero, 1) != 0) {
        FreeResponse();
        return nullptr;
    }
    if (request_) request_->End();
    if (logging) {
        g_debugLog.Printf(" ");
        g_debugLog.Printf("vvvvvvvvvvvv");
        g_debugLog.Write(response_->data, response_->size);
        g_debugLog.Printf(" ");
        g_debugLog.Printf("============");
        g_debugLog.Printf(" ");
    }
    return response_;
}

bool RWebDAVConnection::GetResponseHeader(const char* name, CStringA* out) {
    platform::RecursiveMutexLock guard(mutex_);
    std::string value;
    if (!request_ || name == nullptr || !request_->QueryHeader(name, value)) return false;
    if (out != nullptr) *out = CStringA(value);
    return true;
}

RResult RWebDAVConnection::FollowRedirect() {
    platform::RecursiveMutexLock guard(mutex_);
    std::string fallback;
    std::string_view body;
    if (RHeapBuffer* buffer = ReadResponse(); buffer != nullptr) {
        body = std::string_view(buffer->data, static_cast<size_t>(buffer->size));
    } else if (request_) {
        ReadBodyByContentLength(*request_, fallback);
        body = fallback;
    }
    CStringA found;
    Target to = current_;
    to.asWritten = false;
    if (FindAbsoluteUrl(body, found) >= 0) {
        CStringA host, path, scheme;
        int port = 0;
        CrackUrl(found, &path, &host, &scheme, &port);
        if (host.IsEmpty()) return 0;
        to.host = host;
        to.port = port;
        to.secure = platform::http::IsSecureScheme(scheme.Str());
        to.path = path.IsEmpty() ? CStringA("/") : path;
    } else if (FindHrefInBody(body, found) >= 0) {
        to.path = found;
    } else {
        return 0;
    }
    // Only the answer's own status says whether the move is for good.
    redirectTaken_ = TakeRedirect(to, "PROPFIND", nullptr, redirectStatus_ != 0 ? redirectStatus_ : 301);
    return 0;
}
