#include "ical/model/RIcsFieldLimits.h"

std::string_view CutLongText(std::string_view text, std::size_t maxChars) {
    std::size_t end = maxChars;
    // Step back over continuation bytes so that a cut never leaves half a character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

void AssignCut(std::string& target, std::string_view text, std::size_t maxChars) {
    target.assign(CutToLimit(text, maxChars));
}
