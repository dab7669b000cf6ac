#include "platform/http/HttpClient.h"

#include <curl/curl.h>

#include <atomic>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/http/HeaderBlock.h"
#include "platform/http/InternetErrors.h"
#include "platform/http/UrlPath.h"
#include "platform/threads/Mutex.h"

namespace platform::http {

namespace {

thread_local const std::atomic<bool>* t_abortFlag = nullptr;

int OnProgress(void* request, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<HttpRequest*>(request)->StopRequested() ? 1 : 0;
}

}  // namespace

void SetThreadAbortFlag(const std::atomic<bool>* flag) { t_abortFlag = flag; }
namespace {

constexpr long kConnectTimeoutSeconds = 30;
constexpr DWORD kReadChunk = 8192;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

// The origins (with the user) that asked for Basic alone and accepted it.
struct BasicOrigins {
    platform::Mutex lock;
    std::set<std::string> keys ORVANE_GUARDED_BY(lock);
};

BasicOrigins& Basics() {
    static BasicOrigins origins;
    return origins;
}

bool KnownBasic(const std::string& key) {
    BasicOrigins& origins = Basics();
    platform::MutexLock hold(origins.lock);
    return origins.keys.count(key) != 0;
}

void NoteBasic(const std::string& key, bool basic) {
    BasicOrigins& origins = Basics();
    platform::MutexLock hold(origins.lock);
    if (basic) {
        origins.keys.insert(key);
    } else {
        origins.keys.erase(key);
    }
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::unique_ptr<HttpClient> HttpClient::Open(const char* userAgent, DWORD* error) {
    InitCurlOnce();
    std::unique_ptr<HttpClient> client(new HttpClient());
    client->curl_ = curl_easy_init();
    if (client->curl_ == nullptr) {
        if (error != nullptr) *error = ERROR_INTERNET_INTERNAL_ERROR;
        return nullptr;
    }
    client->userAgent_ = userAgent != nullptr ? userAgent : "";
    // What stays the same for every request of this client.
    CURL* curl = static_cast<CURL*>(client->curl_);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, client->userAgent_.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &HttpRequest::OnHeader);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &HttpRequest::OnBody);
    // Called about once a second even while nothing arrives: it watches the pace and the abort flag.
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    const std::string caFile = TrustedCaFile();
    if (!caFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
        curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
    }
    if (error != nullptr) *error = 0;
    return client;
}

HttpClient::~HttpClient() {
    if (curl_ != nullptr) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

HttpRequest::HttpRequest(HttpConnection& connection, std::string verb, std::string_view path, bool secure,
                         const char* acceptTypes, bool keepQuery)
    : connection_(connection), secure_(secure), verb_(std::move(verb)) {
    std::string host = connection.Host();
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    // Servers may name resources by absolute URL (an href is a URI): such a path would
    // otherwise be sent as "/http://...". Its path part is the resource on this server.
    std::string absolutePath;
    if (StartsWithNoCase(path, "http://") || StartsWithNoCase(path, "https://")) {
        UrlParts parts;
        if (CrackUrl(path, parts) == 0) {
            absolutePath = parts.path;
            path = absolutePath;
        }
    }
    std::string encoded;
    const size_t question = keepQuery ? path.find('?') : std::string_view::npos;
    if (question != std::string_view::npos) {
        encoded = EncodeUrlPath(path.substr(0, question)) + "?" + EncodeUrlPath(path.substr(question + 1));
    } else {
        encoded = EncodeUrlPath(path);
    }
    if (encoded.empty() || encoded.front() != '/') encoded.insert(encoded.begin(), '/');
    const int port = connection.Port() != 0 ? connection.Port() : (secure ? 443 : 80);
    port_ = port;
    url_ = std::string(secure ? "https://" : "http://") + host + ":" + std::to_string(port) + encoded;
    if (acceptTypes != nullptr && *acceptTypes != '\0') headers_.push_back(std::string("Accept: ") + acceptTypes);
}

HttpRequest::~HttpRequest() { FreeBody(); }

void HttpRequest::FreeBody() {
    std::free(body_);
    body_ = nullptr;
    bodySize_ = 0;
    bodyCapacity_ = 0;
}

void HttpRequest::AddHeaders(std::string_view block) {
    for (auto& line : SplitHeaderBlock(block)) {
        const std::string_view name = std::string_view(line).substr(0, line.find(':'));
        bool replaced = false;
        for (auto& existing : headers_) {
            if (SameName(Trim(std::string_view(existing).substr(0, existing.find(':'))), Trim(name))) {
                existing = line;
                replaced = true;
                break;
            }
        }
        if (!replaced) headers_.push_back(std::move(line));
    }
}

size_t HttpRequest::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<HttpRequest*>(self);
    const std::string_view line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new answer (after an authentication round or a 100 Continue) replaces the last one.
        request->responseHeaders_.clear();
        request->statusText_.clear();
        request->announcedLength_ = 0;
        request->pace_.AnswerStarted(TransferPace::Clock::now());
        const size_t first = line.find(' ');
        request->streaming_ = false;
        request->streamed_ = 0;
        if (request->sink_ != nullptr && first != std::string_view::npos) {
            const int status = std::atoi(std::string(line.substr(first + 1, 3)).c_str());
            request->streaming_ = status >= 200 && status <= 299;
            if (request->streaming_) request->sink_->Restart();
        }
        if (first != std::string_view::npos) {
            const size_t second = line.find(' ', first + 1);
            if (second != std::string_view::npos) request->statusText_ = std::string(Trim(line.substr(second + 1)));
        }
        return size * count;
    }
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        request->responseHeaders_.emplace_back(std::string(Trim(line.substr(0, colon))), std::string(Trim(line.substr(colon + 1))));
        if (SameName(request->responseHeaders_.back().first, "Content-Length")) {
            const unsigned long long length = std::strtoull(request->responseHeaders_.back().second.c_str(), nullptr, 10);
            if (length > kMaxResponseBytes) {
                request->tooLarge_ = true;
                return 0;  // aborts the transfer before any of it is read
            }
            request->announcedLength_ = static_cast<size_t>(length);
        }
    }
    return size * count;
}

size_t HttpRequest::OnBody(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<HttpRequest*>(self);
    const size_t bytes = size * count;
    if (request->streaming_) {
        if (request->streamed_ + bytes > kMaxResponseBytes) {
            request->tooLarge_ = true;
            return 0;  // aborts the transfer
        }
        request->streamed_ += bytes;
        request->pace_.Received(bytes, TransferPace::Clock::now());
        request->sink_->Piece(data, bytes);
        return bytes;
    }
    if (request->bodySize_ + bytes > kMaxResponseBytes) {
        request->tooLarge_ = true;
        return 0;  // aborts the transfer
    }
    // One spare byte for the terminator that the reader adds; an announced length is taken at
    // once, so a large answer is not copied while it grows.
    const size_t needed = request->bodySize_ + bytes + 1;
    if (needed > request->bodyCapacity_) {
        size_t capacity = request->bodyCapacity_ * 2;
        if (request->announcedLength_ + 1 > capacity) capacity = request->announcedLength_ + 1;
        if (capacity < needed) capacity = needed;
        if (capacity > kMaxResponseBytes + 1) capacity = kMaxResponseBytes + 1;
        char* grown = static_cast<char*>(std::realloc(request->body_, capacity));
        if (grown == nullptr) return 0;
        request->body_ = grown;
        request->bodyCapacity_ = capacity;
    }
    std::memcpy(request->body_ + request->bodySize_, data, bytes);
    request->bodySize_ += bytes;
    request->pace_.Received(bytes, TransferPace::Clock::now());
    return bytes;
}

bool HttpRequest::StopRequested() {
    if (abortFlag_ != nullptr && abortFlag_->load(std::memory_order_acquire)) return true;
    if (pace_.TooSlow(TransferPace::Clock::now())) timedOut_ = true;
    return timedOut_;
}

DWORD HttpRequest::Send(const char* body, size_t length) {
    CURL* curl = static_cast<CURL*>(connection_.client_.curl_);
    // A resend starts from a clean answer.
    answered_ = false;
    status_ = 0;
    statusText_.clear();
    responseHeaders_.clear();
    FreeBody();
    announcedLength_ = 0;
    tooLarge_ = false;
    hasCertificateProblem_ = false;
    readOffset_ = 0;
    ended_ = false;
    streaming_ = false;
    streamed_ = 0;

    // The handle is not reset between requests (a reset makes libcurl 7.88 lose track of its
    // cookie-file list); every per-request option is set explicitly instead.
    curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
    // A certificate a person accepted for this run is pinned by its key; the chain and name
    // checks it failed are then off for this server alone. Everything else is verified.
    const std::string pin = secure_ ? AcceptedCertificatePin(connection_.Host(), port_) : std::string();
    curl_easy_setopt(curl, CURLOPT_PINNEDPUBLICKEY, pin.empty() ? nullptr : pin.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, pin.empty() ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, pin.empty() ? 2L : 0L);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, connection_.used_ ? 0L : 1L);
    // A thread that was given an abort flag has its transfers stopped as soon as the flag is set.
    abortFlag_ = t_abortFlag;
    timedOut_ = false;
    pace_.Start(CurrentTransferLimits(), TransferPace::Clock::now());
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    const bool credentials = !connection_.user_.empty() || !connection_.password_.empty();
    bool ownAuthorization = false;
    for (const auto& line : headers_) {
        if (SameName(Trim(std::string_view(line).substr(0, line.find(':'))), "Authorization")) ownAuthorization = true;
    }
    const std::string basicKey = std::string(secure_ ? "https://" : "http://") + connection_.Host() + ":" + std::to_string(port_) +
                                 "\n" + connection_.user_;
    const bool basicAtOnce = credentials && !ownAuthorization && KnownBasic(basicKey);
    if (credentials) {
        // More than one method: libcurl waits for the server's challenge before sending any;
        // Basic alone is sent with the first request.
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH,
                         static_cast<long>(basicAtOnce ? CURLAUTH_BASIC : (CURLAUTH_BASIC | CURLAUTH_DIGEST | CURLAUTH_NTLM)));
        curl_easy_setopt(curl, CURLOPT_USERNAME, connection_.user_.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, connection_.password_.c_str());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(curl, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(curl, CURLOPT_PASSWORD, nullptr);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb_ == "GET" ? nullptr : verb_.c_str());
    if (body != nullptr && length > 0) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body);
    } else if (verb_ == "PUT") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
    }

    curl_slist* list = nullptr;
    bool hasContentType = false;
    for (const auto& line : headers_) {
        list = curl_slist_append(list, line.c_str());
        if (SameName(Trim(std::string_view(line).substr(0, line.find(':'))), "Content-Type")) hasContentType = true;
    }
    list = curl_slist_append(list, "Expect:");
    // Without a caller's type libcurl would label a body as a form.
    if (!hasContentType && body != nullptr && length > 0) list = curl_slist_append(list, "Content-Type:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);

    CURLcode code = curl_easy_perform(curl);
    long answered = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answered);
    if (basicAtOnce && code == CURLE_OK && answered == 401) {
        // The origin no longer takes Basic alone (or the password changed): ask it again.
        NoteBasic(basicKey, false);
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST | CURLAUTH_NTLM));
        responseHeaders_.clear();
        statusText_.clear();
        FreeBody();
        announcedLength_ = 0;
        code = curl_easy_perform(curl);
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answered);
    } else if (credentials && !ownAuthorization && !basicAtOnce && code == CURLE_OK && answered != 401) {
        long offered = 0;
        curl_easy_getinfo(curl, CURLINFO_HTTPAUTH_AVAIL, &offered);
        if ((offered & CURLAUTH_BASIC) != 0 && (offered & ~static_cast<long>(CURLAUTH_BASIC)) == 0) NoteBasic(basicKey, true);
    }
    connection_.used_ = true;
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(list);
    if (code != CURLE_OK) {
        // A body cut short is no answer: nothing of it may be read as if it were whole.
        FreeBody();
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        status_ = status;
        answered_ = status != 0;
        if (tooLarge_) return ERROR_RESPONSE_TOO_LARGE;
        if (timedOut_) return ERROR_INTERNET_TIMEOUT;
        if (secure_ && (code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_PINNEDPUBKEYNOTMATCH || code == CURLE_SSL_ISSUER_ERROR)) {
            DescribeCertificateFailure(curl);
            if (hasCertificateProblem_) return certificateProblem_.error;
        }
        return MapCurlError(code);
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status_);
    answered_ = true;
    return 0;
}

void HttpRequest::DescribeCertificateFailure(void* handle) {
    CURL* curl = static_cast<CURL*>(handle);
    long verifyResult = 0;
    curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
    // Under a pin nothing was verified: the key simply was not the accepted one.
    if (!AcceptedCertificatePin(connection_.Host(), port_).empty()) verifyResult = -1;
    certificateProblem_ = CertificateProblem{};
    certificateProblem_.host = connection_.Host();
    certificateProblem_.port = port_;
    const std::string pem = FetchPresentedCertificate(connection_.Host(), port_);
    hasCertificateProblem_ = DescribeCertificate(pem, verifyResult, certificateProblem_);
}

DWORD HttpRequest::QueryStatusCode(std::string& out) const {
    out.clear();
    if (!answered_) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    out = std::to_string(status_);
    return 0;
}

DWORD HttpRequest::QueryStatusText(std::string& out) const {
    out.clear();
    if (!answered_) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    out = statusText_;
    return 0;
}

bool HttpRequest::QueryHeader(std::string_view name, std::string& out) const {
    for (auto it = responseHeaders_.rbegin(); it != responseHeaders_.rend(); ++it) {
        if (SameName(it->first, name)) {
            out = it->second;
            return true;
        }
    }
    return false;
}

DWORD HttpRequest::QueryDataAvailable(DWORD& count) const {
    count = 0;
    if (ended_ || !answered_) return 0;
    const size_t left = bodySize_ - readOffset_;
    count = static_cast<DWORD>(left < kReadChunk ? left : kReadChunk);
    return 0;
}

DWORD HttpRequest::Read(char* buffer, DWORD size, DWORD& read) {
    read = 0;
    if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
    if (ended_) return 0;
    const size_t left = bodySize_ - readOffset_;
    const size_t n = left < size ? left : size;
    if (n > 0) std::memcpy(buffer, body_ + readOffset_, n);
    readOffset_ += n;
    read = static_cast<DWORD>(n);
    return 0;
}

void HttpRequest::End() { ended_ = true; }

bool HttpRequest::TakeBody(char*& data, size_t& size) {
    data = nullptr;
    size = 0;
    if (ended_ || !answered_ || readOffset_ != 0 || body_ == nullptr) return false;
    data = body_;
    size = bodySize_;
    body_ = nullptr;
    bodySize_ = 0;
    bodyCapacity_ = 0;
    ended_ = true;
    return true;
}

}  // namespace platform::http
