#include "dav/http/RWebDAVConnection.h"

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

void RWebDAVConnection::CloseRequest() { request_.reset(); }

void RWebDAVConnection::CloseConnection() {
    request_.reset();
    connection_.reset();
}

RResult RWebDAVConnection::Initialize(const char* host, int port, bool secure, const char* user, const char* password) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
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
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (host != nullptr) *host = host_;
    if (port != nullptr) *port = port_;
    if (path != nullptr) *path = path_;
    if (secure != nullptr) *secure = secure_;
    return 0;
}

RResult RWebDAVConnection::SetServer(const char* host, int port, const char* path) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    FreeResponse();
    CloseConnection();
    host_ = host;
    port_ = port;
    secure_ = port == 443;
    return SetPath(path);
}

RResult RWebDAVConnection::SetPath(const char* path) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    FreeResponse();
    CloseRequest();
    path_ = HasText(path) ? path : "/";
    return 0;
}

RResult RWebDAVConnection::GetCredentials(CStringA* user, CStringA* password) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (user != nullptr) *user = user_;
    if (password != nullptr) *password = password_;
    return 0;
}

RResult RWebDAVConnection::SetCredentials(const char* user, const char* password) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
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
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (token != nullptr) *token = bearerToken_;
    return 0;
}

RResult RWebDAVConnection::SetBearerToken(const char* token) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (token != nullptr && !platform::http::IsSafeHeaderValue(token)) return R_E_INVALID_ARGUMENT;
    bearerToken_ = token;
    return 0;
}

RResult RWebDAVConnection::SetUserAgent(const char* text) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    userAgent_ = HasText(text) ? text : kDefaultWebDAVUserAgent;
    return 0;
}

CStringA RWebDAVConnection::GetUserAgent() {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return userAgent_;
}

RResult RWebDAVConnection::SendWithRedirects(const char* headers, const char* body, const char* verb, const char* href,
                                             int retries) {
    RResult result = SendRequest(headers, body, verb, href);
    for (int i = 0; i < retries && IsRedirectStatus(result); ++i) result = SendRequest(headers, body, verb, href);
    return result;
}

RResult RWebDAVConnection::Report(const char* headers, const char* body) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return SendWithRedirects(headers, body, "REPORT", nullptr, 1);
}

RResult RWebDAVConnection::Propfind(const char* headers, const char* body) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return SendWithRedirects(headers, body, "PROPFIND", nullptr, 1);
}

RResult RWebDAVConnection::Delete(const char* headers, const char* href) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return SendRequest(headers, nullptr, "DELETE", href);
}

RResult RWebDAVConnection::Get(const char* headers, const char* href) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return SendWithRedirects(headers, nullptr, "GET", href, kMaxGetRedirects);
}

RResult RWebDAVConnection::Put(const char* headers, const char* body, const char* href) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return SendWithRedirects(headers, body, "PUT", href, 1);
}

RResult RWebDAVConnection::Move(const char* href, const char* destination, bool overwrite) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    const CStringA target = destination;
    if (destination != nullptr && !platform::http::IsSafeHeaderValue(destination)) return R_E_INVALID_ARGUMENT;
    const CStringA headers = "Destination: " + target + "\nOverwrite: " + (overwrite ? "T" : "F");
    return SendRequest(headers, nullptr, "MOVE", href);
}

CStringA RWebDAVConnection::AbsoluteUrl(const char* path) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
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

void RWebDAVConnection::HandleRedirect(const char* verb, const char* href) {
    std::string location;
    if (request_ && request_->QueryHeader("Location", location) && !location.empty()) {
        platform::http::UrlParts parts;
        bool sameServer = true;
        if (platform::http::CrackUrl(location, parts) == 0) {
            if (parts.scheme != "http" && parts.scheme != "https") return;
            const bool secure = parts.scheme == "https";
            sameServer = parts.host == host_.Str() && parts.port == port_ && secure == secure_;
            if (!sameServer) {
                // Another server: re-target host, port and scheme, keeping the collection path.
                FreeResponse();
                CloseConnection();
                host_ = CStringA(parts.host);
                port_ = parts.port;
                secure_ = secure;
            }
        } else if (!location.empty() && location.front() == '/') {
            parts.path = location.substr(0, location.find_first_of("?#"));
        } else {
            return;
        }
        if (HasText(href) && TakesHref(verb)) {
            movedTo_.href = href;
            movedTo_.path = CStringA(parts.path);
        } else {
            FreeResponse();
            CloseRequest();
            path_ = parts.path.empty() ? CStringA("/") : CStringA(parts.path);
        }
        return;
    }
    // No Location: the body tells where the resource went.
    if (IsVerb(verb, "PUT") || IsVerb(verb, "DELETE")) {
        RHeapBuffer* body = ReadResponse();
        CStringA moved;
        if (body != nullptr && FindMovedToUrl(std::string_view(body->data, static_cast<size_t>(body->size)), moved) >= 0 &&
            HasText(href)) {
            movedTo_.href = href;
            movedTo_.path = moved;
        }
    } else {
        FollowRedirect();
    }
}

RResult RWebDAVConnection::SendRequest(const char* headers, const char* body, const char* verb, const char* href) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    const bool logging = LoggingOn();
    CloseRequest();
    FreeResponse();

    if (!client_) {
        DWORD error = 0;
        client_ = HttpClient::Open(userAgent_, &error);
        if (!client_) return static_cast<RResult>(error);
    }
    if (!connection_) {
        connection_ = std::make_unique<HttpConnection>(*client_, host_.Str(), static_cast<std::uint16_t>(port_), user_.Str(),
                                                       password_.Str());
    }
    const CStringA resourcePath = ResourcePath(verb, href);
    request_ = std::make_unique<HttpRequest>(*connection_, verb, resourcePath.AsView(), secure_, IsVerb(verb, "PUT") ? "*/*" : "text/*");
    if (HasText(headers)) request_->AddHeaders(headers);
    if (!bearerToken_.IsEmpty()) request_->AddHeaders(("Authorization: Bearer " + bearerToken_).AsView());

    if (logging) {
        g_debugLog.Printf("^^^^^^^^^^^^");
        g_debugLog.Printf("%s %s:%d%s", verb, host_.GetString(), port_, resourcePath.GetString());
        if (HasText(headers)) g_debugLog.Printf("%s", headers);
        if (!bearerToken_.IsEmpty()) g_debugLog.Printf("Authorization: Bearer %s", bearerToken_.GetString());
        if (HasText(body)) g_debugLog.Write(body, static_cast<int>(std::strlen(body)));
    }

    const size_t bodyLength = HasText(body) ? std::strlen(body) : 0;
    RResult result = 0;
    int sends = 0;
    while (result == 0 && request_ && sends < kMaxSends) {
        const DWORD error = request_->Send(body, bodyLength);
        ++sends;
        int status = 0;
        if (error != 0) {
            const DWORD answer = platform::http::ReportConnectionError(error, request_->Url());
            if (answer == 0 || answer == platform::http::ERROR_INTERNET_FORCE_RETRY) {
                QueryStatus(*request_, &status, nullptr);
                if (IsRedirectStatus(status)) {
                    HandleRedirect(verb, href);
                    result = status;
                } else if (sends >= kMaxSends) {
                    result = static_cast<RResult>(error);
                }
            } else {
                result = static_cast<RResult>(answer);
            }
            continue;
        }
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
            HandleRedirect(verb, href);
        }
    }
    if (RSucceeded(result) && result != 0 && (IsVerb(verb, "PUT") || IsVerb(verb, "DELETE"))) {
        movedTo_ = MovedTo{};
    }
    return result;
}

RHeapBuffer* RWebDAVConnection::ReadResponse() {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    const bool logging = LoggingOn();
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

RResult RWebDAVConnection::FollowRedirect() {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    std::string fallback;
    std::string_view body;
    if (RHeapBuffer* buffer = ReadResponse(); buffer != nullptr) {
        body = std::string_view(buffer->data, static_cast<size_t>(buffer->size));
    } else if (request_) {
        ReadBodyByContentLength(*request_, fallback);
        body = fallback;
    }
    CStringA found;
    if (FindAbsoluteUrl(body, found) >= 0) {
        CStringA host, path;
        int port = 0;
        CrackUrl(found, &path, &host, nullptr, &port);
        if (!host.IsEmpty()) SetServer(host, port, path);
    } else if (FindHrefInBody(body, found) >= 0) {
        const CStringA host = host_;
        SetServer(host, port_, found);
    }
    return 0;
}
