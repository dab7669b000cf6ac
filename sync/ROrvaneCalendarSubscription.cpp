// Downloading a subscribed calendar: a plain GET of the feed URL, stored through the same path
// as every other calendar text, at most once a week unless the server says it changed.
#include "sync/ROrvaneCalendar.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "dav/http/RWebDAVConnection.h"
#include "foundation/files/FileNames.h"
#include "platform/http/InternetErrors.h"
#include "platform/http/UrlPath.h"
#include "sync/CalendarOperation.h"
#include "sync/HrefNames.h"
#include "sync/ROrvaneAccount.h"

namespace {

constexpr int kMinimumAgeDays = 7;
constexpr long long kMaxFeedBytes = 64LL * 1024 * 1024;

bool EndsWithIcs(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".ics";
}

bool SameHost(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

FeedRequest PlanFeedRequest(const char* url, const char* accountServerUrl) {
    FeedRequest plan;
    platform::http::UrlParts parts;
    if (url == nullptr || platform::http::CrackUrl(url, parts) != 0) {
        plan.error = static_cast<RResult>(platform::http::ERROR_INTERNET_INVALID_URL);
        return plan;
    }
    if (parts.scheme == "webcal") parts.scheme = "http";
    if (parts.scheme == "webcals") parts.scheme = "https";
    if (parts.scheme != "http" && parts.scheme != "https") {
        plan.error = static_cast<RResult>(platform::http::ERROR_INTERNET_INVALID_URL);
        return plan;
    }
    plan.secure = parts.scheme == "https";
    plan.host = parts.host.c_str();
    plan.port = parts.port != 0 ? parts.port : platform::http::DefaultPortOf(parts.scheme);
    // The URL's own path and query, as written; a fragment is never sent.
    std::string query = parts.extra;
    if (const std::size_t hash = query.find('#'); hash != std::string::npos) query.resize(hash);
    plan.pathAndQuery = (parts.path + query).c_str();
    CStringA last = LastHrefComponent(parts.path.c_str());
    last = DecodePercent(last);
    if (EndsWithIcs(parts.path)) {
        plan.fileName = last;
    } else {
        // Items need a non-empty file name: one made from the path's last part, else the host.
        CStringA base = last.IsEmpty() ? plan.host : last;
        SanitizeFileNameA(base, &plan.fileName);
        plan.fileName += ".ics";
    }
    // The account's credentials go only to the account's own server.
    platform::http::UrlParts account;
    if (accountServerUrl != nullptr && *accountServerUrl != '\0' &&
        platform::http::CrackUrl(accountServerUrl, account) == 0) {
        const int accountPort = account.port != 0 ? account.port : platform::http::DefaultPortOf(account.scheme);
        plan.sendCredentials = SameHost(account.host, parts.host) && accountPort == plan.port;
    }
    return plan;
}

RResult ROrvaneCalendar::RefreshSubscription(bool serverSide) {
    CalendarOperation operation(*this);
    if (!operation.Held()) return R_E_CALENDAR_BUSY;
    return RefreshSubscriptionLocked(serverSide);
}

RResult ROrvaneCalendar::RefreshSubscriptionLocked(bool serverSide) {
    RRef<RCalDAVCalendar> server;
    bool changed = false;
    if (serverSide) {
        if (!IsUsableCalendar()) return 0;
        server = GetServerCalendar();
        if (!server) return 0;
        if (const RResult fetched = server->FetchCtag(); fetched != 0) return fetched;
        CStringA serverCtag;
        server->GetCtag(&serverCtag);
        if (server->IsChanged() && serverCtag == GetCTag()) server->ClearChanged();
        changed = server->IsChanged();
    } else {
        server = GetServerCalendar();
    }
    if (!changed && GetDaysSinceLastRefresh() < kMinimumAgeDays) return 0;

    CStringA url;
    if (serverSide && server) server->GetSourceUrl(&url);
    if (url.IsEmpty()) url = GetSubscriptionURL();
    RRef<ROrvaneAccount> account = GetAccount();
    if (!account) return R_E_INVALID_ARGUMENT;
    CStringA accountServer;
    if (RRef<RCalDAVAccount> calDAV = account->GetCalDAVAccount()) calDAV->GetServerUrl(&accountServer);
    const FeedRequest plan = PlanFeedRequest(url, accountServer);
    if (plan.error != 0) return plan.error;

    const AccountRecord owner = account->GetRecord();
    auto connection = MakeRef<RWebDAVConnection>();
    RResult result = plan.sendCredentials
                         ? connection->Initialize(plan.host, plan.port, plan.secure, owner.username, owner.password)
                         : connection->Initialize(plan.host, plan.port, plan.secure, nullptr, nullptr);
    if (result != 0) return result;
    connection->SetUserAgent(server ? server->GetUserAgent() : BuildUserAgent().ToUtf8());
    connection->SetPathAsWritten(plan.pathAndQuery);

    std::string body;
    {
        platform::RecursiveMutexLock hold(connection->Mutex());
        result = connection->Get(nullptr, nullptr);
        if (!RSucceeded(result)) return result;
        RHeapBuffer* response = connection->ReadResponse();
        if (response != nullptr && response->data != nullptr && response->size > 0) {
            if (static_cast<long long>(response->size) > kMaxFeedBytes) return R_E_FILE_TOO_LARGE;
            body.assign(response->data, std::strlen(response->data));
        }
    }
    if (!body.empty()) {
        if (account->ShouldStop()) return R_E_SYNC_CANCELLED;
        result = StoreItemFromTextLocked(plan.fileName, "", "", body.c_str(), false);
        if (result != 0) return result;
    }
    SetCTag("");
    MarkRefreshedNow();
    return 0;
}
