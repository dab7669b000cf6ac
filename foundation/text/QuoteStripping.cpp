#include "foundation/text/QuoteStripping.h"

#include <cstring>

namespace {

void StripQuotePair(char* text, char quote) {
    if (text == nullptr) {
        return;
    }
    const size_t length = std::strlen(text);
    // A text of just two quotes stays: it is a value of two quote characters, not an empty one.
    if (length <= 2 || text[0] != quote || text[length - 1] != quote) {
        return;
    }
    std::memmove(text, text + 1, length - 2);
    text[length - 2] = '\0';
}

}  // namespace

void StripSingleQuotes(char* text) { StripQuotePair(text, '\''); }
void StripDoubleQuotes(char* text) { StripQuotePair(text, '"'); }
