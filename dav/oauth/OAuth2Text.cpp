#include "dav/oauth/OAuth2Text.h"

#include <cstring>

#include "platform/crypto/Sha256.h"

CStringA PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool unreserved = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
                                u == '.' || u == '_' || u == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return CStringA(out);
}

std::string Base64UrlEncode(const void* data, size_t length) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string out;
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (length - i == 1) {
        const unsigned v = bytes[i] << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
    } else if (length - i == 2) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
    }
    return out;
}

std::string RandomUrlText(size_t bytes) {
    std::string raw(bytes, '\0');
    if (!platform::FillRandomBytes(raw.data(), raw.size())) return {};
    return Base64UrlEncode(raw.data(), raw.size());
}

std::string CodeChallengeS256(std::string_view verifier) {
    const platform::Sha256Digest digest = platform::Sha256Of(verifier.data(), verifier.size());
    return Base64UrlEncode(digest.data(), digest.size());
}

namespace {

bool IsJsonBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the string value of member `name` starts (after its opening quote) and ends (at its
// closing quote, or the text's end when none). False when the member has no string value.
bool FindStringValue(std::string_view text, std::string_view name, size_t from, size_t* begin, size_t* end, size_t* next) {
    const std::string key = "\"" + std::string(name) + "\"";
    size_t at = text.find(key, from);
    if (at == std::string_view::npos) return false;
    *next = at + key.size();
    size_t i = at + key.size();
    while (i < text.size() && IsJsonBlank(text[i])) ++i;
    if (i >= text.size() || text[i] != ':') return false;
    ++i;
    while (i < text.size() && IsJsonBlank(text[i])) ++i;
    if (i >= text.size() || text[i] != '"') return false;
    *begin = i + 1;
    const size_t close = text.find('"', *begin);
    *end = close == std::string_view::npos ? text.size() : close;
    *next = *end;
    return true;
}

}  // namespace

int ExtractTokenValue(const char* body, const char* name, CStringA* out) {
    if (body == nullptr || name == nullptr || out == nullptr) return -1;
    const std::string_view text(body);
    size_t begin = 0, end = 0, next = 0;
    if (!FindStringValue(text, name, 0, &begin, &end, &next) || end >= text.size() || end == begin) return -1;
    const std::string_view value = text.substr(begin, end - begin);
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || c == '\\') return -1;
    }
    *out = CStringA(value);
    return 0;
}

std::string MaskTokenValues(std::string_view text) {
    std::string out(text);
    for (const char* name : {"access_token", "refresh_token", "id_token"}) {
        size_t from = 0;
        for (;;) {
            const std::string_view view(out);
            size_t begin = 0, end = 0, next = 0;
            if (!FindStringValue(view, name, from, &begin, &end, &next)) {
                if (next == 0 || next >= out.size()) break;
                from = next;
                continue;
            }
            out.replace(begin, end - begin, "***");
            from = begin + 3;
        }
    }
    return out;
}

CStringA CodeFromTitle(std::string_view title, std::string_view marker) {
    const size_t at = title.find(marker);
    if (at == std::string_view::npos) return CStringA();
    const size_t start = at + marker.size();
    const size_t blank = title.find(' ', start);
    if (blank == std::string_view::npos) return CStringA();
    return CStringA(title.substr(start, blank - start));
}
