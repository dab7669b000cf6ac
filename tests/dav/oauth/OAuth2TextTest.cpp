// The texts of the sign-in: what goes into the sign-in address and the token form, and what is
// read back from the provider's answers and the page title.
#include "foundation/ResultCodes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "dav/oauth/OAuth2Text.h"
#include "dav/oauth/ROAuth2Client.h"
#include "foundation/memory/RRef.h"
#include "platform/browser/LoopbackCodeListener.h"

TEST(OAuth2Text, ExtractsOnlyAStringValueThatCanStandInAHeader) {
    CStringA token = "previous";
    // Compact and pretty-printed answers give the same token; a one-character token is whole.
    EXPECT_EQ(ExtractTokenValue("{\"access_token\":\"ya29.a0-Ab_c\",\"expires_in\":3599}", "access_token", &token), 0);
    EXPECT_EQ(token, "ya29.a0-Ab_c");
    EXPECT_EQ(ExtractTokenValue("{\n  \"access_token\" :\n    \"tok\",\n  \"token_type\": \"Bearer\"\n}", "access_token", &token), 0);
    EXPECT_EQ(token, "tok");
    EXPECT_EQ(ExtractTokenValue("{\"access_token\":\"x\"}", "access_token", &token), 0);
    EXPECT_EQ(token, "x");

    token = "kept";
    for (const char* body : {
             "{\"access_token\":\"\"}",                          // empty
             "{\"access_token\":\"abc\r\nX-Injected: 1\"}",     // a header's line end
             "{\"access_token\":\"a b\"}",                      // a blank
             "{\"access_token\":\"a\\\"b\"}",                    // an escaped quote
             "{\"access_token\":null,\"token_type\":\"Bearer\"}", // not a string: the next member is no token
             "{\"access_token\":\"unterminated",
             "<html><title>access_token</title></html>",
             "{\"error\":\"invalid_grant\"}",
         }) {
        EXPECT_EQ(ExtractTokenValue(body, "access_token", &token), -1) << body;
    }
    EXPECT_EQ(token, "kept");
}

TEST(OAuth2Text, MasksTokensAndReadsTheCodeFromATitle) {
    EXPECT_EQ(MaskTokenValues("{\"access_token\": \"secret1\", \"refresh_token\":\"secret2\", \"expires_in\": 3599}"),
              "{\"access_token\": \"***\", \"refresh_token\":\"***\", \"expires_in\": 3599}");
    EXPECT_EQ(MaskTokenValues("{\"access_token\":\"cut"), "{\"access_token\":\"***");
    EXPECT_EQ(MaskTokenValues("no tokens here"), "no tokens here");

    EXPECT_EQ(CodeFromTitle("Success code=4/abc - Browser", "Success code="), "4/abc");
    // A code that runs to the end of the title (no blank after it) may have been cut: none.
    EXPECT_EQ(CodeFromTitle("Success code=4/abc", "Success code="), "");
    EXPECT_EQ(CodeFromTitle("Sign-in failed", "Success code="), "");
}

TEST(OAuth2Text, PercentEncodingAndPkce) {
    EXPECT_EQ(PercentEncode("a&b+c=d#e f/~._-"), "a%26b%2Bc%3Dd%23e%20f%2F~._-");
    EXPECT_EQ(PercentEncode("\xC3\xA9"), "%C3%A9");
    // The published S256 example pair.
    EXPECT_EQ(CodeChallengeS256("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"), "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    const std::string a = RandomUrlText(32), b = RandomUrlText(32);
    EXPECT_EQ(a.size(), 43u);
    EXPECT_NE(a, b);
}

TEST(OAuth2Client, EveryValueOfTheAddressAndTheFormIsEncoded) {
    auto client = MakeRef<ROAuth2Client>();
    OAuth2Settings settings;
    settings.authorizationUrl = "https://accounts.example/auth";
    settings.clientId = "id&x=1";
    settings.clientSecret = "s#c+r=t";
    settings.scope = "https://example/cal other";
    client->UseSettings(settings);
    const CStringA url = client->BuildAuthorizationUrl("jane+tag@example.com&prompt=none", "http://127.0.0.1:5/", "st", "ch");
    EXPECT_EQ(url,
              "https://accounts.example/auth?client_id=id%26x%3D1&redirect_uri=http%3A%2F%2F127.0.0.1%3A5%2F"
              "&scope=https%3A%2F%2Fexample%2Fcal%20other&response_type=code"
              "&login_hint=jane%2Btag%40example.com%26prompt%3Dnone&state=st&code_challenge=ch&code_challenge_method=S256");

    PendingSignIn pending;
    pending.redirectUri = "http://127.0.0.1:5/";
    pending.verifier = "v-1";
    client->UsePendingSignIn(&pending);
    // The code's fields first, in their order, then the verifier.
    EXPECT_EQ(client->BuildTokenForm("4/a&b", kAuthorizationCodeGrant),
              "code=4%2Fa%26b&client_id=id%26x%3D1&client_secret=s%23c%2Br%3Dt&redirect_uri=http%3A%2F%2F127.0.0.1%3A5%2F"
              "&grant_type=authorization_code&hl=en-US&code_verifier=v-1");
    // A refresh sends the refresh token, and neither a code nor the verifier.
    EXPECT_EQ(client->BuildTokenForm("1//rt", kRefreshTokenGrant),
              "refresh_token=1%2F%2Frt&client_id=id%26x%3D1&client_secret=s%23c%2Br%3Dt&grant_type=refresh_token&hl=en-US");
}

TEST(OAuth2Client, RefusesAPlainHttpTokenAddressOffThisMachine) {
    auto client = MakeRef<ROAuth2Client>();
    OAuth2Settings settings;
    settings.tokenUrl = "http://accounts.example/token";
    client->UseSettings(settings);
    EXPECT_EQ(client->PostTokenRequest("", "a=b"), 12005);
    EXPECT_EQ(client->ExchangeToken("c", kRefreshTokenGrant), 12005);
}

TEST(OAuth2Client, ABrowserReturnAfterThePollsIsFoundByTheNextSignIn) {
    // The listener a sign-in left open when it stopped polling.
    PendingSignIn pending;
    pending.listener = platform::browser::LoopbackCodeListener::Open("st", std::chrono::minutes(1), nullptr);
    ASSERT_TRUE(pending.listener);
    pending.redirectUri = pending.listener->RedirectUri();
    pending.verifier = "verifier";

    // The person finishes signing in later; the browser's return waits in the listener's queue.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(pending.listener->Port()));
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request = "GET /?state=st&code=4%2Flate HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));

    auto client = MakeRef<ROAuth2Client>();
    client->UsePendingSignIn(&pending);
    CStringA code;
    client->FindCodeWindow(&code);
    EXPECT_EQ(code, "4/late");
    // The code is exchanged with the verifier of the sign-in that asked for it.
    EXPECT_NE(client->BuildTokenForm(code, kAuthorizationCodeGrant).Find("&code_verifier=verifier"), -1);
    // Once the code is taken the listener goes.
    const auto listener = pending.listener;
    client->CloseCodeWindow();
    EXPECT_FALSE(listener->IsOpen());
    EXPECT_FALSE(pending.listener);
    ::close(fd);
}
