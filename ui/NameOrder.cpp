#include "ui/NameOrder.h"

#include <algorithm>
#include <cstdint>

#include "offices/Utf8.h"

namespace voldrane::ui {

namespace {

// Unicode's simple case folding (CaseFolding.txt, status C and S) for the scripts office and
// printer names are written in.
char32_t Fold(char32_t c) {
    const auto pairs = [c](char32_t first, char32_t last, bool evenUpper) {
        return c >= first && c <= last && ((c % 2 == 0) == evenUpper);
    };
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c == 0xB5) return 0x3BC;
    if ((c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xDE)) return c + 0x20;
    if (pairs(0x100, 0x12F, true) || pairs(0x132, 0x137, true) || pairs(0x139, 0x148, false) ||
        pairs(0x14A, 0x177, true) || pairs(0x179, 0x17E, false))
        return c + 1;
    if (c == 0x178) return 0xFF;
    if (c == 0x17F) return 's';
    if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB)) return c + 0x20;
    if (c == 0x3C2) return 0x3C3;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (pairs(0x460, 0x481, true) || pairs(0x48A, 0x4BF, true)) return c + 1;
    if (c >= 0x531 && c <= 0x556) return c + 0x30;
    if (pairs(0x1E00, 0x1E95, true) || pairs(0x1EA0, 0x1EFF, true)) return c + 1;
    if (c == 0x1E9E) return 0xDF;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
    return c;
}

std::u16string Utf16(std::string_view text, bool fold) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        const size_t n = Utf8SequenceAt(text, i, cp);
        if (n == 0) {
            cp = 0xFFFD;
            ++i;
        } else {
            i += n;
        }
        const char32_t c = fold ? Fold(cp) : cp;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

}  // namespace

bool NameLess(std::string_view a, std::string_view b) {
    const std::u16string fa = Utf16(a, true), fb = Utf16(b, true);
    if (fa != fb) return fa < fb;
    return Utf16(a, false) < Utf16(b, false);
}

int SortedRow(const std::vector<std::string>& rows, std::string_view text) {
    int row = 0;
    while (row < static_cast<int>(rows.size()) && !NameLess(text, rows[static_cast<size_t>(row)]))
        ++row;
    return row;
}

}  // namespace voldrane::ui
