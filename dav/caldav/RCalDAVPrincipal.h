#pragma once
// Finds a user's CalDAV server and principal and reads the principal's properties; owns the
// principal connection (path = the principal's URL), the well-known connection used for
// discovery, and the calendar home with its calendars.
// Threads: one thread at a time (the account's refresh worker, or the thread that sets it up);
// the connections and calendars it hands out lock themselves.
#include "foundation/ResultCodes.h"

#include <vector>

#include "dav/caldav/RCalDAVCalendar.h"
#include "dav/caldav/RCalDAVCalendarHome.h"
#include "dav/http/RWebDAVConnection.h"
#include "dav/oauth/ROAuth2Client.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"
#include "platform/threads/Mutex.h"

inline constexpr char kDefaultCalDAVUserAgent[] = "RCalDAV 1.0";
inline constexpr char kWellKnownCalDavPath[] = "/.well-known/caldav";
inline constexpr char kWellKnownCalDavSlashedPath[] = "/.well-known/caldav/";

class RCalDAVPrincipal : public RRefCounted {
public:
    RCalDAVPrincipal();
    ~RCalDAVPrincipal() override;

    virtual RResult Connect(const char* host, const char* path, int port, bool secure, const char* user, const char* password);
    virtual RResult ConnectToHost(const char* host, int port, bool secure, const char* user, const char* password);
    virtual RResult ConnectByUrl(const char* user, const char* password, const char* url);
    virtual RResult DiscoverBySrv(const char* mailAddress, const char* password);
    virtual RResult SetUserAgent(const char* text);
    virtual RResult SetServer(const char* host, int port, const char* path);
    virtual RResult SetCredentials(const char* user, const char* password);
    virtual RResult SetBearerToken(const char* token);
    virtual RResult GetAuthCode(CStringA* out);
    virtual RResult SetAuthCode(const char* code);
    virtual RResult GetServerUrl(CStringA* out);
    virtual RResult GetCalendarHomeSet(CStringA* out);
    virtual RResult GetScheduleInboxUrl(CStringA* out);
    virtual RResult GetScheduleOutboxUrl(CStringA* out);
    // The principal connection, no reference added.
    virtual RResult GetConnection(RWebDAVConnection** out);
    virtual RResult GetPrincipalUrl(CStringA* out);
    virtual RResult DiscoverPrincipal();
    virtual RResult ParseDiscoveryResponse(const char* body, CStringA& url);
    virtual bool IsDiscovered();
    virtual RResult LoadProperties();
    virtual RResult ParseProperties(const char* body);
    virtual RResult LoadCalendarHome(bool full);
    virtual int GetCalendarCount();
    virtual RCalDAVCalendar* GetCalendarAt(int index);
    virtual RCalDAVCalendar* FindCalendar(const char* href);
    // The calendars of the calendar home's last listing (see RCalDAVCalendarHome::GetLastListing).
    bool GetLastListing(std::vector<RCalDAVCalendar*>* out);
    // The path of the listed calendar home when the server named it (calendar-home-set). False
    // for a home only guessed for want of one: its listing says nothing of the user's calendars.
    bool GetNamedCalendarHome(CStringA* path);

    // The OAuth 2.0 sign-in: exchanges the stored grant (a refresh token) for an access token,
    // or, without one, asks the user's browser for a code and exchanges that; the access token
    // goes to every connection of the account. 0, or the failure of the exchange (the stored
    // grant and token are then emptied, so the next 401 starts a new sign-in). Blocks the
    // calling thread while the browser is waited for; run it on the refresh worker.
    RResult Authorize();
    // Re-points the principal connection at the stored principal URL when it names another
    // place; true when it did.
    bool ApplyPrincipalUrl();

    // The certificate question kept by any of the account's connections (principal, discovery,
    // calendar home, calendars) after a request that stopped at a certificate a person has not
    // accepted; see RWebDAVConnection::GetCertificateProblem. The synchronisation hands it to
    // the user-interface thread, which may accept it (platform::http::AcceptCertificate) and
    // start the account's refresh again.
    bool GetCertificateProblem(platform::http::CertificateProblem* out);

    // Read access for tests and the account's callers.
    CStringA GetDisplayName() const { return displayName_; }
    CStringA GetCalendarUserAddressSet() const { return calendarUserAddressSet_; }
    CStringA GetSupportedReportSet() const { return supportedReportSet_; }
    CStringA GetPrincipalCollectionSet() const { return principalCollectionSet_; }
    CStringA GetXmppUri() const { return xmppUri_; }
    CStringA GetAccessToken() const;
    RWebDAVConnection* GetWellKnownConnection() const { return wellKnown_; }

protected:
    CStringA HostName() const;

private:
    // Authorize; without `mayOpenBrowser` only a stored grant is exchanged, else 401.
    RResult SignIn(bool mayOpenBrowser);

    // Points the principal connection at `url` (absolute: its own server and scheme; a path:
    // the server and scheme of `base`).
    void PointPrincipalAt(const CStringA& url, RWebDAVConnection& base);

    CStringA displayName_;
    CStringA principalUrl_;
    CStringA calendarHomeSet_;
    CStringA scheduleInboxUrl_;
    CStringA scheduleOutboxUrl_;
    CStringA calendarUserAddressSet_;
    CStringA xmppUri_;
    // The sign-in state, shared by the thread that loads the account and the refresh worker:
    // authCode_ and accessToken_ are guarded by authMutex_, and one sign-in runs at a time
    // under signInMutex_, which alone guards pendingSignIn_.
    mutable platform::Mutex authMutex_;
    platform::Mutex signInMutex_;
    CStringA authCode_ ORVANE_GUARDED_BY(authMutex_);
    CStringA accessToken_ ORVANE_GUARDED_BY(authMutex_);
    PendingSignIn pendingSignIn_;
    CStringA principalCollectionSet_;
    CStringA supportedReportSet_;
    CStringA userAgent_ = kDefaultCalDAVUserAgent;
    bool discovered_ = false;
    bool homeGuessed_ = false;  // the home was opened without a calendar-home-set
    RWebDAVConnection* wellKnown_ = nullptr;
    RWebDAVConnection* principal_ = nullptr;
    RCalDAVCalendarHome* home_ = nullptr;
};
