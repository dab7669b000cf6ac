#pragma once
// The one HTTP(S) client of the program: talks to one server under one collection path with one
// set of credentials, an optional bearer token and a user agent, and runs the WebDAV requests
// synchronously. Keeps the last response body in a heap buffer it owns.
//
// Threads: may be shared; every operation holds the object's recursive lock, so a connection
// shared by two threads never runs two requests at once; a caller that reads the response
// buffer after the request holds Mutex() across both.
//
// Redirects: credentials and the bearer token go only to the origin (scheme, host, port) the
// connection was given. A redirect to another origin is followed only by a GET, which then
// carries no credentials, and only for that request; other verbs end with the 3xx status and
// change nothing. The one exception is a connection marked with SetMayMoveServer (the
// well-known discovery request): there a redirect moves the connection, and with it the
// account, to the new server, when both ends are https or it stays on the same host (any
// port); to another host over plain http it ends the request with the 3xx status. A redirect
// from https to http is never followed. Only 301 and
// 308 re-point a stored path; 302, 303 and 307 are followed for that request alone.
#include "foundation/ResultCodes.h"

#include <memory>
#include <string>

#include "foundation/memory/RHeapBuffer.h"
#include "foundation/memory/RefCounted.h"
#include "platform/http/Certificates.h"
#include "platform/string/CString.h"
#include "platform/threads/Mutex.h"

namespace platform::http {
class BodySink;
class HttpClient;
class HttpConnection;
class HttpRequest;
}  // namespace platform::http

inline constexpr char kDefaultWebDAVUserAgent[] = "RWebDAV 1.0";

// Redirect statuses that re-target a request.
constexpr bool IsRedirectStatus(RResult status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// An HTTP status of 400 to 599.
constexpr bool IsHttpErrorStatus(RResult result) { return result >= 400 && result <= 599; }
// A request that got no answer: a transport, TLS or user-cancel number (not an HTTP status and
// not one of the program's own negative codes).
constexpr bool IsTransportFailure(RResult result) { return result >= 1000; }

class RWebDAVConnection : public RRefCounted {
public:
    RWebDAVConnection();
    ~RWebDAVConnection() override;

    virtual RResult Initialize(const char* host, int port, bool secure, const char* user, const char* password);
    virtual RResult GetServer(CStringA* host, int* port, CStringA* path, bool* secure);
    virtual RResult SetServer(const char* host, int port, const char* path);
    virtual RResult SetPath(const char* path);
    // Sets the collection path to be sent exactly as written when a request names no href (no
    // "/" is appended; a "?" starts the query). SetPath and SetServer end this.
    RResult SetPathAsWritten(const char* path);
    // Lets a redirect to another server move this connection there (see the header comment).
    void SetMayMoveServer(bool may);
    virtual RResult GetCredentials(CStringA* user, CStringA* password);
    virtual RResult SetCredentials(const char* user, const char* password);
    virtual RResult GetBearerToken(CStringA* token);
    // A token holding CR, LF or NUL could forge headers: R_E_INVALID_ARGUMENT, token unchanged.
    virtual RResult SetBearerToken(const char* token);
    virtual RResult SetUserAgent(const char* text);
    virtual CStringA GetUserAgent();
    virtual RResult Report(const char* headers, const char* body);
    virtual RResult Propfind(const char* headers, const char* body);
    // Propfind whose successful answer's body goes to `sink` as it arrives instead of being
    // kept (ReadResponse then has none), so that a long listing is never held whole. With the
    // debug log on, the body is kept and logged as usual and then given to `sink` in one piece.
    // `hadBody` tells whether a successful answer brought any body.
    RResult PropfindStreamed(const char* headers, const char* body, platform::http::BodySink& sink, bool* hadBody);
    virtual RResult Delete(const char* headers, const char* href);
    virtual RResult Get(const char* headers, const char* href);
    virtual RResult Put(const char* headers, const char* body, const char* href);
    // A destination holding CR, LF or NUL: R_E_INVALID_ARGUMENT, nothing sent.
    virtual RResult Move(const char* href, const char* destination, bool overwrite);
    // The body of the last answer, NUL-terminated, or null when it had none. Owned by the
    // connection until its next request or re-targeting.
    virtual RHeapBuffer* ReadResponse();
    // A header of the last answer (the last one of that name, case ignored); false when it has
    // none or no request was answered. A caller holds Mutex() across the request and this.
    virtual bool GetResponseHeader(const char* name, CStringA* out);
    // Re-targets the connection from the body of a redirect answer that named no Location.
    virtual RResult FollowRedirect();

    // Certificates: a request whose server certificate fails verification asks the certificate
    // handler (platform/http/ConnectionErrorHook.h). "Accept for this run" pins the key of the
    // certificate shown and sends again; a different certificate later fails again. Refused,
    // or on a thread that may not wait for a person, the request fails with the problem's
    // number (12038 name, 12037 date, 12045 issuer, 12170 revoked, 12157 other) and the
    // connection keeps the problem, the question to put to the person, until a later request
    // is answered. True (and `out` filled, when given) while it keeps one.
    bool GetCertificateProblem(platform::http::CertificateProblem* out);

    // The request engine behind the verb operations.
    RResult SendRequest(const char* headers, const char* body, const char* verb, const char* href);

    // "scheme://host[:port]" followed by `path` (encoded for a URL), as the Host header names
    // the server: the port is left out when it is the scheme's default.
    CStringA AbsoluteUrl(const char* path);

    platform::RecursiveMutex& Mutex() ORVANE_RETURN_CAPABILITY(mutex_) { return mutex_; }

private:
    struct MovedTo {
        CStringA href;  // the href whose request was answered with a redirect
        CStringA path;  // where later requests for that href go
    };
    // Where one request goes.
    struct Target {
        CStringA host;
        int port = 0;
        bool secure = false;
        CStringA path;           // as sent (encoded by the HTTP layer)
        bool asWritten = false;  // "?" starts a query
        bool anonymous = false;  // carries no credentials and no bearer token
        bool detour = false;     // not the stored origin and path: a redirect's one-off target
    };

    void FreeResponse() ORVANE_REQUIRES(mutex_);
    void CloseRequest() ORVANE_REQUIRES(mutex_);
    void CloseConnection() ORVANE_REQUIRES(mutex_);
    CStringA ResourcePath(const char* verb, const char* href) const ORVANE_REQUIRES(mutex_);
    void HandleRedirect(const char* verb, const char* href, int status) ORVANE_REQUIRES(mutex_);
    // Applies the redirect rules to a found target; true when the redirect is followed.
    bool TakeRedirect(const Target& to, const char* verb, const char* href, int status) ORVANE_REQUIRES(mutex_);
    RResult SendWithRedirects(const char* headers, const char* body, const char* verb, const char* href, int retries)
        ORVANE_REQUIRES(mutex_);
    static bool LoggingOn();

    platform::RecursiveMutex mutex_;
    CStringA host_ ORVANE_GUARDED_BY(mutex_);
    int port_ ORVANE_GUARDED_BY(mutex_) = 443;
    bool secure_ ORVANE_GUARDED_BY(mutex_) = true;
    CStringA user_ ORVANE_GUARDED_BY(mutex_);
    CStringA password_ ORVANE_GUARDED_BY(mutex_);
    CStringA bearerToken_ ORVANE_GUARDED_BY(mutex_);
    CStringA path_ ORVANE_GUARDED_BY(mutex_) = "/";
    bool pathAsWritten_ ORVANE_GUARDED_BY(mutex_) = false;
    bool mayMoveServer_ ORVANE_GUARDED_BY(mutex_) = false;
    MovedTo movedTo_ ORVANE_GUARDED_BY(mutex_);
    Target current_ ORVANE_GUARDED_BY(mutex_);        // the request in flight or last sent
    Target detour_ ORVANE_GUARDED_BY(mutex_);         // the next send's target, when a redirect set one
    bool redirectTaken_ ORVANE_GUARDED_BY(mutex_) = false;
    bool hasCertificateProblem_ ORVANE_GUARDED_BY(mutex_) = false;
    platform::http::CertificateProblem certificateProblem_ ORVANE_GUARDED_BY(mutex_);
    int redirectStatus_ ORVANE_GUARDED_BY(mutex_) = 0;
    CStringA userAgent_ ORVANE_GUARDED_BY(mutex_) = kDefaultWebDAVUserAgent;
    std::unique_ptr<platform::http::HttpClient> client_ ORVANE_GUARDED_BY(mutex_);
    std::unique_ptr<platform::http::HttpConnection> connection_ ORVANE_GUARDED_BY(mutex_);
    std::unique_ptr<platform::http::HttpConnection> detourConnection_ ORVANE_GUARDED_BY(mutex_);  // a detour's own server or anonymity
    std::unique_ptr<platform::http::HttpRequest> request_ ORVANE_GUARDED_BY(mutex_);
    RHeapBuffer* response_ ORVANE_GUARDED_BY(mutex_) = nullptr;
    platform::http::BodySink* bodySink_ ORVANE_GUARDED_BY(mutex_) = nullptr;  // during PropfindStreamed
};

// Reads the status of an answered request. The status text is given only for statuses of 300
// and more (at most 4095 bytes). Returns 0 or the query's error number (status stays 0).
RResult QueryStatus(platform::http::HttpRequest& request, int* status, CStringA* statusText);

// Reads up to Content-Length bytes (8192 without the header, 0 reads nothing) of the answer's
// body into `out`. Returns 0 or the read's error number.
RResult ReadBodyByContentLength(platform::http::HttpRequest& request, std::string& out);
