#pragma once
// The text rules of the OAuth 2.0 sign-in: encoding of URL and form values, the PKCE texts,
// reading a token from the provider's JSON answer, hiding tokens from traces, and reading a
// code from a page title.
// Thread rule: free functions without shared state; any thread.
#include <string>
#include <string_view>

#include "platform/string/CString.h"

// Every byte other than letters, digits, "-", ".", "_" and "~" as "%XX".
CStringA PercentEncode(std::string_view text);

// Base64 with the URL alphabet and no padding.
std::string Base64UrlEncode(const void* data, size_t length);

// A fresh random text of `bytes` random bytes (base64url); empty when no randomness was had.
std::string RandomUrlText(size_t bytes);

// The S256 code challenge of a PKCE code verifier.
std::string CodeChallengeS256(std::string_view verifier);

// The string value of JSON member `name` in `body`: the member's name in quotes, a colon, then
// the value's opening quote with only blanks between, and everything up to the next quote.
// 0 with the value in `out`; -1 (out unchanged) when there is no such value, or it is empty or
// holds controls, blanks, quotes or backslashes: such a text must never reach a header.
int ExtractTokenValue(const char* body, const char* name, CStringA* out);

// `text` with the values of "access_token", "refresh_token" and "id_token" replaced by "***".
std::string MaskTokenValues(std::string_view text);

// The code in a page title: the text after `marker` up to the first blank after it. Empty when
// the title has no marker, or no blank follows the code.
CStringA CodeFromTitle(std::string_view title, std::string_view marker);
