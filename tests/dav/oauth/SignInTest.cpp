// The whole sign-in against a provider of the tests' own (tests/dav/fixtures/fake_oauth_provider.py):
// its sign-in page redirects a test browser to the account's loopback listener, its token
// endpoint answers per mode, and its CalDAV side, reached as caldav.google.localhost, answers
// 401 unless a token it issued comes along.
#include "foundation/ResultCodes.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dav/caldav/RCalDAVAccount.h"
#include "dav/oauth/OAuth2Settings.h"
#include "dav/oauth/OAuth2Text.h"
#include "dav/oauth/ROAuth2Client.h"
#include "foundation/memory/RRef.h"
#include "platform/browser/BrowserLauncher.h"
#include "platform/http/ConnectionErrorHook.h"
#include "platform/http/InternetErrors.h"
#include "platform/settings/SettingsHive.h"
#include "tests/dav/integration/ServerProcess.h"
#include "tests/dav/integration/ServerSuite.h"
#include "tests/platform/http/LoopbackPeer.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr char kClientId[] = "1234-orvane.apps.example&x=1";
constexpr char kClientSecret[] = "GOCSPX-s3cr#t+=";
constexpr char kScope[] = "https://www.example.com/auth/calendar";
constexpr char kUser[] = "jane+tag@gmail.com";

size_t AppendTo(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// One GET without following redirects: the body, and the Location in `location` when given.
std::string Fetch(const std::string& url, std::string* location = nullptr) {
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendTo);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(curl);
    if (location != nullptr) {
        char* redirect = nullptr;
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &redirect);
        *location = redirect != nullptr ? redirect : "";
    }
    curl_easy_cleanup(curl);
    return body;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A browser that follows the sign-in page's redirect itself, on a thread of its own as a real
// browser would run beside the program.
class FollowingBrowser : public platform::browser::BrowserLauncher {
public:
    // First returns an answer with another state, as a stale or forged page would.
    bool forgeStateFirst = false;

    ~FollowingBrowser() override {
        for (auto& thread : threads_) thread.join();
    }
    bool Open(const std::string& url) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++opens_;
        threads_.emplace_back([this, url] {
            std::string location;
            Fetch(url, &location);
            if (location.empty()) return;
            if (forgeStateFirst) {
                const std::string forged = std::regex_replace(location, std::regex("state=[^&]*"), "state=forged");
                Remember(Fetch(forged));
            }
            Remember(Fetch(location));
        });
        return true;
    }
    int Opens() {
        std::lock_guard<std::mutex> lock(mutex_);
        return opens_;
    }
    std::vector<std::string> Pages() {
        std::lock_guard<std::mutex> lock(mutex_);
        return pages_;
    }

private:
    void Remember(std::string page) {
        std::lock_guard<std::mutex> lock(mutex_);
        pages_.push_back(std::move(page));
    }
    std::mutex mutex_;
    int opens_ = 0;
    std::vector<std::thread> threads_;
    std::vector<std::string> pages_;
};

void SetSetting(const char16_t* name, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(platform::RegCreateKey(HKEY_CURRENT_USER, kOAuth2SettingsKey, &key), 0u);
    const CStringW wide = CStringW::FromUtf8(value);
    platform::RegSetValue(key, name, REG_SZ, reinterpret_cast<const BYTE*>(wide.GetString()),
                          static_cast<DWORD>((wide.GetLength() + 1) * sizeof(char16_t)));
    platform::RegCloseKey(key);
}

CStringA TokenOf(RWebDAVConnection* connection) {
    CStringA token;
    if (connection != nullptr) connection->GetBearerToken(&token);
    return token;
}

}  // namespace

// The provider of the tests' own, started once for the suite.
struct FakeProvider {
    static constexpr char kName[] = "fake-provider";
    static bool Available() { return true; }
    static std::string Start(const orvane::test::TempFolder& folder, orvane::test::ServerProcess& server) {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return server.Start({"/usr/bin/python3", orvane::test::FixtureFolder() + "/fake_oauth_provider.py", kClientId,
                             kClientSecret, kScope},
                            folder.Str() + "/provider.log", std::chrono::seconds(20));
    }
};

class SignIn : public orvane::test::ServerSuite<FakeProvider> {
protected:
    void SetUp() override {
        ServerSuite::SetUp();
        if (HasFatalFailure()) return;
        SetSetting(kOAuth2AuthorizationUrlValue, Base() + "/o/oauth2/auth");
        SetSetting(kOAuth2TokenUrlValue, Base() + "/o/oauth2/token");
        SetSetting(kOAuth2ScopeValue, kScope);
        SetSetting(kOAuth2ClientIdValue, kClientId);
        SetSetting(kOAuth2ClientSecretValue, kClientSecret);
        Control("mode?set=token");
        Control("hint?set=jane%2Btag%40gmail.com");
        Control("clear-logs");
        browser_ = std::make_shared<FollowingBrowser>();
        platform::browser::InstallBrowserLauncher(browser_);
    }
    void TearDown() override {
        platform::browser::InstallBrowserLauncher(nullptr);
        browser_.reset();
    }

    static std::string Control(const std::string& what) { return Fetch(Base() + "/control/" + what); }

    // An account on the provider's CalDAV side, whose host name marks it as the provider's.
    static void Connect(RCalDAVAccount* account) {
        const std::string url = "http://caldav.google.localhost:" + std::to_string(server_->Port()) + "/caldav/v2/principal/user/";
        ASSERT_EQ(account->ConnectByUrl(kUser, "caldav-password", url.c_str()), 0);
    }

    // Signs an account in through the browser and returns the grant it keeps.
    CStringA SignInOnce() {
        auto account = MakeRef<RCalDAVAccount>();
        Connect(account.get());
        EXPECT_EQ(account->Refresh(true), 0);
        CStringA grant;
        account->GetAuthCode(&grant);
        return grant;
    }

    std::shared_ptr<FollowingBrowser> browser_;
};

TEST_F(SignIn, FirstSignInRunsFromA401ToTheCalendarListWithTheTokenOnEveryConnection) {
    auto account = MakeRef<RCalDAVAccount>();
    Connect(account.get());
    ASSERT_EQ(account->Refresh(true), 0);
    EXPECT_EQ(browser_->Opens(), 1);
    ASSERT_EQ(account->GetCalendarCount(), 1);

    // The provider found nothing wrong with the sign-in request, and the browser saw the code page.
    EXPECT_EQ(Control("auth-errors"), "none\n");
    ASSERT_EQ(browser_->Pages().size(), 1u);
    EXPECT_NE(browser_->Pages()[0].find("<title>Success code=4/code-"), std::string::npos);

    // One token request: no credentials of the account, the fields in order, then the verifier.
    const auto forms = Lines(Control("token-log"));
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_TRUE(std::regex_match(forms[0], std::regex("- code=4%2Fcode-[0-9]+&client_id=1234-orvane\\.apps\\.example%26x%3D1"
                                                      "&client_secret=GOCSPX-s3cr%23t%2B%3D"
                                                      "&redirect_uri=http%3A%2F%2F127\\.0\\.0\\.1%3A[0-9]+%2F"
                                                      "&grant_type=authorization_code&hl=en-US&code_verifier=[A-Za-z0-9_-]{43}")))
        << forms[0];

    // Discovery went without a token until the 401; every request after the sign-in carried it.
    const CStringA token = account->GetAccessToken();
    ASSERT_FALSE(token.IsEmpty());
    const auto requests = Lines(Control("dav-log"));
    size_t firstWithToken = 0;
    while (firstWithToken < requests.size() && requests[firstWithToken].back() == '-') ++firstWithToken;
    ASSERT_GE(firstWithToken, 1u);
    EXPECT_EQ(requests[0].rfind("PROPFIND /.well-known/", 0), 0u) << requests[0];
    ASSERT_GE(requests.size(), firstWithToken + 3);
    for (size_t i = firstWithToken; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].substr(requests[i].rfind(' ') - 6), "Bearer " + token.Str()) << requests[i];
    }
    RWebDAVConnection* connection = nullptr;
    account->GetConnection(&connection);
    EXPECT_EQ(TokenOf(connection), token);
    EXPECT_EQ(TokenOf(account->GetWellKnownConnection()), token);
    account->GetCalendarAt(0)->GetConnection(&connection);  // the calendar adds a reference
    EXPECT_EQ(TokenOf(connection), token);
    connection->Release();

    // The refresh token of the answer is the grant the account keeps.
    CStringA grant;
    account->GetAuthCode(&grant);
    EXPECT_TRUE(grant.Find("1//rt-") == 0) << grant.Str();
}

TEST_F(SignIn, AStoredGrantSkipsTheBrowserAndAnExpiredTokenIsRefreshedWithoutIt) {
    const CStringA grant = SignInOnce();
    ASSERT_FALSE(grant.IsEmpty());
    Control("clear-logs");

    // Loading an account with its grant signs it in without a browser.
    auto account = MakeRef<RCalDAVAccount>();
    Connect(account.get());
    account->SetAuthCode(grant);
    const CStringA first = account->GetAccessToken();
    EXPECT_FALSE(first.IsEmpty());
    auto forms = Lines(Control("token-log"));
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_EQ(forms[0], "- refresh_token=" + PercentEncode(grant.AsView()).Str() +
                            "&client_id=1234-orvane.apps.example%26x%3D1&client_secret=GOCSPX-s3cr%23t%2B%3D"
                            "&grant_type=refresh_token&hl=en-US");
    ASSERT_EQ(account->Refresh(true), 0);
    EXPECT_EQ(account->GetCalendarCount(), 1);

    // The provider lets the token lapse: the next 401 refreshes it with the grant.
    Control("expire");
    ASSERT_EQ(account->Refresh(true), 0);
    EXPECT_NE(account->GetAccessToken(), first);
    EXPECT_EQ(Lines(Control("token-log")).size(), 2u);
    CStringA kept;
    account->GetAuthCode(&kept);
    EXPECT_EQ(kept, grant);
    EXPECT_EQ(browser_->Opens(), 1);  // only SignInOnce's
}

TEST_F(SignIn, AFailingExchangeEmptiesGrantAndTokenAndTheNext401SignsInAgain) {
    auto account = MakeRef<RCalDAVAccount>();
    Connect(account.get());
    account->SetBearerToken("stale");
    account->SetAuthCode("1//revoked");
    CStringA grant;
    account->GetAuthCode(&grant);
    EXPECT_TRUE(grant.IsEmpty());
    EXPECT_TRUE(account->GetAccessToken().IsEmpty());
    EXPECT_EQ(browser_->Opens(), 0);

    ASSERT_EQ(account->Refresh(true), 0);
    EXPECT_EQ(browser_->Opens(), 1);
    EXPECT_EQ(account->GetCalendarCount(), 1);
}

TEST_F(SignIn, ATokenEndpointThatFailsOrCannotBeReachedKeepsTheGrantAndTheRefreshEndsWithThatFailure) {
    const CStringA grant = SignInOnce();
    ASSERT_FALSE(grant.IsEmpty());
    auto account = MakeRef<RCalDAVAccount>();
    Connect(account.get());
    const auto kept = [&] {
        CStringA now;
        account->GetAuthCode(&now);
        return now;
    };

    Control("mode?set=unavailable");
    account->SetAuthCode(grant);
    EXPECT_EQ(kept(), grant);
    EXPECT_EQ(account->Refresh(true), 503);
    EXPECT_EQ(kept(), grant);

    int closedPort = 0;
    {
        orvane::test::LoopbackPeer gone([](const orvane::test::PeerRequest&) { return orvane::test::PeerReply{}; });
        closedPort = gone.Port();
    }
    SetSetting(kOAuth2TokenUrlValue, "http://127.0.0.1:" + std::to_string(closedPort) + "/o/oauth2/token");
    EXPECT_EQ(account->Refresh(true), static_cast<RResult>(platform::http::ERROR_INTERNET_CANNOT_CONNECT));
    EXPECT_EQ(kept(), grant);

    // The provider is back: the kept grant signs in, and the browser was never needed again.
    SetSetting(kOAuth2TokenUrlValue, Base() + "/o/oauth2/token");
    Control("mode?set=token");
    EXPECT_EQ(account->Refresh(true), 0);
    EXPECT_EQ(account->GetCalendarCount(), 1);
    EXPECT_EQ(kept(), grant);
    EXPECT_EQ(browser_->Opens(), 1);  // only SignInOnce's
}

TEST_F(SignIn, WithoutAClientIdNothingIsOpenedOrSent) {
    SetSetting(kOAuth2ClientIdValue, "");
    auto account = MakeRef<RCalDAVAccount>();
    Connect(account.get());
    EXPECT_EQ(account->Refresh(true), 401);
    EXPECT_EQ(account->Authorize(), 401);
    EXPECT_EQ(browser_->Opens(), 0);
    EXPECT_EQ(Control("auth-log"), "");
    EXPECT_EQ(Control("token-log"), "");
}

TEST_F(SignIn, AnAnswerWithAnotherStateIsRefusedAndTheRightOneStillSignsIn) {
    browser_->forgeStateFirst = true;
    auto account = MakeRef<RCalDAVAccount>();
    Connect(account.get());
    ASSERT_EQ(account->Refresh(true), 0);
    const auto pages = browser_->Pages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0].find("<title>Sign-in failed</title>"), std::string::npos);
    EXPECT_NE(pages[1].find("<title>Success code="), std::string::npos);
    EXPECT_EQ(Lines(Control("token-log")).size(), 1u);
}

TEST_F(SignIn, HostileTokenAnswersGiveNoTokenAndNeverAHeaderLineEnd) {
    const CStringA grant = SignInOnce();
    OAuth2Settings settings = ReadOAuth2Settings();
    auto exchange = [&](const char* mode, CStringA* token) {
        Control(std::string("mode?set=") + mode);
        auto client = MakeRef<ROAuth2Client>();
        client->UseSettings(settings);
        const RResult result = client->ExchangeToken(grant, kRefreshTokenGrant);
        *token = client->GetAccessToken();
        return result;
    };
    CStringA token;
    EXPECT_EQ(exchange("pretty", &token), 0);
    EXPECT_TRUE(std::regex_match(token.Str(), std::regex("at-[0-9]+"))) << token.Str();
    for (const char* mode : {"empty", "html", "newline"}) {
        EXPECT_EQ(exchange(mode, &token), -1) << mode;
        EXPECT_TRUE(token.IsEmpty()) << mode;
    }
    EXPECT_EQ(exchange("invalid_grant", &token), 401);

    // Through the account: the hostile token reaches no connection.
    Control("mode?set=newline");
    auto account = MakeRef<RCalDAVAccount>();
    Connect(account.get());
    account->SetAuthCode(grant);
    RWebDAVConnection* connection = nullptr;
    account->GetConnection(&connection);
    EXPECT_TRUE(TokenOf(connection).IsEmpty());
    EXPECT_TRUE(account->GetAccessToken().IsEmpty());
}

TEST_F(SignIn, AnUnreadableTokenAnswerIsSentAtMostThreeTimes) {
    Control("mode?set=status0");
    // Even when the user keeps asking to try again.
    auto previous = platform::http::SetConnectionErrorHandler(
        [](DWORD, const std::string&) { return platform::http::ERROR_INTERNET_FORCE_RETRY; });
    auto client = MakeRef<ROAuth2Client>();
    client->UseSettings(ReadOAuth2Settings());
    EXPECT_EQ(client->ExchangeToken("1//x", kRefreshTokenGrant),
              static_cast<RResult>(platform::http::ERROR_HTTP_INVALID_SERVER_RESPONSE));
    platform::http::SetConnectionErrorHandler(previous);
    EXPECT_EQ(Lines(Control("token-log")).size(), 3u);
}
