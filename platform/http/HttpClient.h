#pragma once
// The HTTP client layer: a client (one libcurl easy handle with its user agent, connection
// cache and in-memory cookies), a connection (host, port and credentials; a new connection
// object makes the next request open a new TCP connection) and a request (verb, path, headers,
// the whole answer read during Send). HTTP/1.1, no proxy, TLS certificates and host names
// verified. Credentials: Basic, Digest and NTLM are answered when the server asks; once an
// origin (scheme, host, port) has asked for Basic alone and accepted a user's credentials, later
// connections with that user send Basic at once and save the round trip of the challenge
// (Digest needs each connection's own nonce and NTLM always negotiates, so they keep it). A
// request that carries its own Authorization header (a bearer token) never sends Basic.
// Threads: a client and the connections and requests made on it belong to one thread at a time.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"
#include "platform/http/Certificates.h"
#include "platform/http/TransferPace.h"

namespace platform::http {

// Largest response body kept; a longer answer (or one that announces a greater length) fails
// the transfer with ERROR_RESPONSE_TOO_LARGE.
inline constexpr size_t kMaxResponseBytes = 64u * 1024u * 1024u;

// Gives the calling thread an abort flag (null: none): every request it sends afterwards stops
// with ERROR_CANCELLED soon after the flag becomes true, also in the middle of a transfer. The
// flag must outlive the thread's requests.
void SetThreadAbortFlag(const std::atomic<bool>* flag);

// Takes the body of a successful (2xx) answer piece by piece as it arrives, in place of the
// request keeping it whole: a long answer is then never held in memory at once.
class BodySink {
public:
    virtual ~BodySink() = default;
    // A new answer starts (after an authentication round, say): the pieces given before are void.
    virtual void Restart() = 0;
    virtual void Piece(const char* data, size_t length) = 0;
};

class HttpClient {
public:
    // A client sending `userAgent` on every request; null with `error` set when libcurl fails.
    static std::unique_ptr<HttpClient> Open(const char* userAgent, DWORD* error);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    const std::string& UserAgent() const { return userAgent_; }

private:
    friend class HttpRequest;
    HttpClient() = default;
    void* curl_ = nullptr;
    std::string userAgent_;
};

class HttpConnection {
public:
    HttpConnection(HttpClient& client, std::string host, int port, std::string user, std::string password)
        : client_(client), host_(std::move(host)), port_(port), user_(std::move(user)), password_(std::move(password)) {}

    HttpClient& Client() const { return client_; }
    const std::string& Host() const { return host_; }
    int Port() const { return port_; }

private:
    friend class HttpRequest;
    HttpClient& client_;
    std::string host_;
    int port_;
    std::string user_;
    std::string password_;
    bool used_ = false;  // the first request through a new connection opens a new TCP connection
};

class HttpRequest {
public:
    // `path` is sent percent-encoded where needed (of an absolute http(s) URL, its path part,
    // on this connection's server); `acceptTypes` becomes the Accept header. With `keepQuery`
    // a "?" in the path starts the query and is sent as such (a URL taken as written); without
    // it a "?" is part of the resource name. Port 0 means the scheme's default.
    HttpRequest(HttpConnection& connection, std::string verb, std::string_view path, bool secure, const char* acceptTypes,
                bool keepQuery = false);
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;
    bool Secure() const { return secure_; }

    // Adds the lines of a header block; a line replaces an earlier one of the same name.
    void AddHeaders(std::string_view block);

    // Sends the request with `length` bytes of body and reads the whole answer.
    // 0, or the Internet error number of a failed transfer (a body cut short included; a server
    // too slow for the TransferLimits gives ERROR_INTERNET_TIMEOUT). Over
    // https a certificate accepted for the server (AcceptCertificate) is pinned in place of
    // verification. A certificate that fails gives its problem's number (see Certificates.h),
    // and Certificate() describes it.
    DWORD Send(const char* body, size_t length);
    // The certificate problem of the last Send, or null when it had none.
    const CertificateProblem* Certificate() const { return hasCertificateProblem_ ? &certificateProblem_ : nullptr; }

    // Status code as text ("207"); ERROR_HTTP_INVALID_SERVER_RESPONSE before an answer.
    DWORD QueryStatusCode(std::string& out) const;
    // The reason phrase of the status line; an error number before an answer.
    DWORD QueryStatusText(std::string& out) const;
    // A response header's value (the last one of that name, case ignored); false when absent.
    bool QueryHeader(std::string_view name, std::string& out) const;

    // Bytes of body not read yet (at most 8192 per call, as the platform hands them out).
    DWORD QueryDataAvailable(DWORD& count) const;
    // Copies up to `size` unread body bytes.
    DWORD Read(char* buffer, DWORD size, DWORD& read);
    // Ends the request; later reads see no data.
    void End();
    // Hands over the whole body, when none of it has been read yet, as a block from malloc with
    // room for one more byte (the caller frees it); the request then has no body left. False
    // (nothing handed over) otherwise. Spares a copy of a large answer.
    bool TakeBody(char*& data, size_t& size);

    // Hands the body of a 2xx answer to `sink` (null: none) as it arrives; other answers are
    // kept as usual. The size limit and the pace apply alike. The sink must outlive Send.
    void SetBodySink(BodySink* sink) { sink_ = sink; }
    // Bytes of the last answer that went to the sink.
    size_t StreamedBytes() const { return streamed_; }

    const std::string& Url() const { return url_; }
    const std::string& Verb() const { return verb_; }

    // libcurl's header and body callbacks; `self` is the request.
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    // Asked by libcurl's progress callback: true stops the transfer (an abort asked for, or a
    // server too slow for the limits).
    bool StopRequested();

private:
    void DescribeCertificateFailure(void* curl);

    HttpConnection& connection_;
    bool secure_ = false;
    int port_ = 0;
    std::string verb_;
    std::string url_;
    std::vector<std::string> headers_;
    bool answered_ = false;
    long status_ = 0;
    std::string statusText_;
    std::vector<std::pair<std::string, std::string>> responseHeaders_;
    void FreeBody();
    char* body_ = nullptr;  // from malloc: TakeBody hands it over
    size_t bodySize_ = 0;
    size_t bodyCapacity_ = 0;
    size_t announcedLength_ = 0;  // Content-Length of the answer, when given
    bool tooLarge_ = false;
    bool hasCertificateProblem_ = false;
    CertificateProblem certificateProblem_;
    size_t readOffset_ = 0;
    bool ended_ = false;
    const std::atomic<bool>* abortFlag_ = nullptr;
    TransferPace pace_;
    bool timedOut_ = false;
    BodySink* sink_ = nullptr;
    bool streaming_ = false;  // the answer being read goes to sink_
    size_t streamed_ = 0;
};

}  // namespace platform::http
