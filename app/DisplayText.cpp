#include "app/DisplayText.h"

#include "offices/Utf8.h"

namespace voldrane {

size_t Utf8CharLength(std::string_view text, size_t i) {
    uint32_t cp;
    return Utf8SequenceAt(text, i, cp);
}

std::string DisplayText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8CharLength(text, i);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7F)
            out += ' ';
        else
            out.append(text, i, n);
        i += n;
    }
    return out;
}

}  // namespace voldrane
