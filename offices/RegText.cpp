#include "offices/RegText.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "offices/Utf8.h"

namespace voldrane {

namespace {

struct CaseRange {
    uint16_t first, last;  // lower-case letters first..last, every `stride`th
    uint8_t stride;
    int32_t delta;  // to the upper-case letter
};

// The registry's case pairs, as Wine's registry folds names (measured: every character of the
// Basic Multilingual Plane made a key beside every other one).
constexpr CaseRange kCaseRanges[] = {
    {0x0061, 0x007A, 1, -32},    {0x00E0, 0x00F6, 1, -32},    {0x00F8, 0x00FE, 1, -32},
    {0x00FF, 0x00FF, 1, 121},    {0x0101, 0x012F, 2, -1},     {0x0133, 0x0137, 2, -1},
    {0x013A, 0x0148, 2, -1},     {0x014B, 0x0177, 2, -1},     {0x017A, 0x017E, 2, -1},
    {0x0180, 0x0180, 1, 195},    {0x0183, 0x0185, 2, -1},     {0x0188, 0x0188, 1, -1},
    {0x018C, 0x018C, 1, -1},     {0x0192, 0x0192, 1, -1},     {0x0195, 0x0195, 1, 97},
    {0x0199, 0x0199, 1, -1},     {0x019A, 0x019A, 1, 163},    {0x019E, 0x019E, 1, 130},
    {0x01A1, 0x01A5, 2, -1},     {0x01A8, 0x01A8, 1, -1},     {0x01AD, 0x01AD, 1, -1},
    {0x01B0, 0x01B0, 1, -1},     {0x01B4, 0x01B6, 2, -1},     {0x01B9, 0x01B9, 1, -1},
    {0x01BD, 0x01BD, 1, -1},     {0x01BF, 0x01BF, 1, 56},     {0x01C6, 0x01C6, 1, -2},
    {0x01C9, 0x01C9, 1, -2},     {0x01CC, 0x01CC, 1, -2},     {0x01CE, 0x01DC, 2, -1},
    {0x01DD, 0x01DD, 1, -79},    {0x01DF, 0x01EF, 2, -1},     {0x01F3, 0x01F3, 1, -2},
    {0x01F5, 0x01F5, 1, -1},     {0x01F9, 0x021F, 2, -1},     {0x0223, 0x0233, 2, -1},
    {0x023C, 0x023C, 1, -1},     {0x023F, 0x0240, 1, 10815},  {0x0242, 0x0242, 1, -1},
    {0x0247, 0x024F, 2, -1},     {0x0250, 0x0250, 1, 10783},  {0x0251, 0x0251, 1, 10780},
    {0x0252, 0x0252, 1, 10782},  {0x0253, 0x0253, 1, -210},   {0x0254, 0x0254, 1, -206},
    {0x0256, 0x0257, 1, -205},   {0x0259, 0x0259, 1, -202},   {0x025B, 0x025B, 1, -203},
    {0x025C, 0x025C, 1, 42319},  {0x0260, 0x0260, 1, -205},   {0x0261, 0x0261, 1, 42315},
    {0x0263, 0x0263, 1, -207},   {0x0265, 0x0265, 1, 42280},  {0x0266, 0x0266, 1, 42308},
    {0x0268, 0x0268, 1, -209},   {0x0269, 0x0269, 1, -211},   {0x026A, 0x026A, 1, 42308},
    {0x026B, 0x026B, 1, 10743},  {0x026C, 0x026C, 1, 42305},  {0x026F, 0x026F, 1, -211},
    {0x0271, 0x0271, 1, 10749},  {0x0272, 0x0272, 1, -213},   {0x0275, 0x0275, 1, -214},
    {0x027D, 0x027D, 1, 10727},  {0x0280, 0x0280, 1, -218},   {0x0282, 0x0282, 1, 42307},
    {0x0283, 0x0283, 1, -218},   {0x0287, 0x0287, 1, 42282},  {0x0288, 0x0288, 1, -218},
    {0x0289, 0x0289, 1, -69},    {0x028A, 0x028B, 1, -217},   {0x028C, 0x028C, 1, -71},
    {0x0292, 0x0292, 1, -219},   {0x029D, 0x029D, 1, 42261},  {0x029E, 0x029E, 1, 42258},
    {0x0371, 0x0373, 2, -1},     {0x0377, 0x0377, 1, -1},     {0x037B, 0x037D, 1, 130},
    {0x03AC, 0x03AC, 1, -38},    {0x03AD, 0x03AF, 1, -37},    {0x03B1, 0x03C1, 1, -32},
    {0x03C3, 0x03CB, 1, -32},    {0x03CC, 0x03CC, 1, -64},    {0x03CD, 0x03CE, 1, -63},
    {0x03D7, 0x03D7, 1, -8},     {0x03D9, 0x03EF, 2, -1},     {0x03F2, 0x03F2, 1, 7},
    {0x03F3, 0x03F3, 1, -116},   {0x03F8, 0x03F8, 1, -1},     {0x03FB, 0x03FB, 1, -1},
    {0x0430, 0x044F, 1, -32},    {0x0450, 0x045F, 1, -80},    {0x0461, 0x0481, 2, -1},
    {0x048B, 0x04BF, 2, -1},     {0x04C2, 0x04CE, 2, -1},     {0x04CF, 0x04CF, 1, -15},
    {0x04D1, 0x052F, 2, -1},     {0x0561, 0x0586, 1, -48},    {0x10D0, 0x10FA, 1, 3008},
    {0x10FD, 0x10FF, 1, 3008},   {0x13F8, 0x13FD, 1, -8},     {0x1D79, 0x1D79, 1, 35332},
    {0x1D7D, 0x1D7D, 1, 3814},   {0x1D8E, 0x1D8E, 1, 35384},  {0x1E01, 0x1E95, 2, -1},
    {0x1EA1, 0x1EFF, 2, -1},     {0x1F00, 0x1F07, 1, 8},      {0x1F10, 0x1F15, 1, 8},
    {0x1F20, 0x1F27, 1, 8},      {0x1F30, 0x1F37, 1, 8},      {0x1F40, 0x1F45, 1, 8},
    {0x1F51, 0x1F57, 2, 8},      {0x1F60, 0x1F67, 1, 8},      {0x1F70, 0x1F71, 1, 74},
    {0x1F72, 0x1F75, 1, 86},     {0x1F76, 0x1F77, 1, 100},    {0x1F78, 0x1F79, 1, 128},
    {0x1F7A, 0x1F7B, 1, 112},    {0x1F7C, 0x1F7D, 1, 126},    {0x1F80, 0x1F87, 1, 8},
    {0x1F90, 0x1F97, 1, 8},      {0x1FA0, 0x1FA7, 1, 8},      {0x1FB0, 0x1FB1, 1, 8},
    {0x1FB3, 0x1FB3, 1, 9},      {0x1FC3, 0x1FC3, 1, 9},      {0x1FD0, 0x1FD1, 1, 8},
    {0x1FE0, 0x1FE1, 1, 8},      {0x1FE5, 0x1FE5, 1, 7},      {0x1FF3, 0x1FF3, 1, 9},
    {0x214E, 0x214E, 1, -28},    {0x2170, 0x217F, 1, -16},    {0x2184, 0x2184, 1, -1},
    {0x24D0, 0x24E9, 1, -26},    {0x2C30, 0x2C5F, 1, -48},    {0x2C61, 0x2C61, 1, -1},
    {0x2C65, 0x2C65, 1, -10795}, {0x2C66, 0x2C66, 1, -10792}, {0x2C68, 0x2C6C, 2, -1},
    {0x2C73, 0x2C73, 1, -1},     {0x2C76, 0x2C76, 1, -1},     {0x2C81, 0x2CE3, 2, -1},
    {0x2CEC, 0x2CEE, 2, -1},     {0x2CF3, 0x2CF3, 1, -1},     {0x2D00, 0x2D25, 1, -7264},
    {0x2D27, 0x2D27, 1, -7264},  {0x2D2D, 0x2D2D, 1, -7264},  {0xA641, 0xA66D, 2, -1},
    {0xA681, 0xA69B, 2, -1},     {0xA723, 0xA72F, 2, -1},     {0xA733, 0xA76F, 2, -1},
    {0xA77A, 0xA77C, 2, -1},     {0xA77F, 0xA787, 2, -1},     {0xA78C, 0xA78C, 1, -1},
    {0xA791, 0xA793, 2, -1},     {0xA794, 0xA794, 1, 48},     {0xA797, 0xA7A9, 2, -1},
    {0xA7B5, 0xA7C3, 2, -1},     {0xA7C8, 0xA7CA, 2, -1},     {0xA7D1, 0xA7D1, 1, -1},
    {0xA7D7, 0xA7D9, 2, -1},     {0xA7F6, 0xA7F6, 1, -1},     {0xAB53, 0xAB53, 1, -928},
    {0xAB70, 0xABBF, 1, -38864}, {0xFF41, 0xFF5A, 1, -32},
};

}  // namespace

uint32_t RegUpcase(uint32_t cp) {
    if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - ('a' - 'A') : cp;
    if (cp > 0xFFFF) return cp;
    const auto it = std::upper_bound(std::begin(kCaseRanges), std::end(kCaseRanges), cp,
                                     [](uint32_t c, const CaseRange& r) { return c < r.first; });
    if (it == std::begin(kCaseRanges)) return cp;
    const CaseRange& r = *std::prev(it);
    if (cp > r.last || (cp - r.first) % r.stride != 0) return cp;
    return static_cast<uint32_t>(static_cast<int32_t>(cp) + r.delta);
}

std::string RegFoldedName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    uint32_t cp;
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            out += static_cast<char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
            ++i;
        } else if (const size_t n = Utf8SequenceAt(name, i, cp); n == 0) {
            out += name[i++];
        } else {
            AppendUtf8(out, RegUpcase(cp));
            i += n;
        }
    }
    return out;
}

uint32_t Windows1252Char(unsigned char byte) {
    static constexpr uint16_t k80[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return byte >= 0x80 && byte < 0xA0 ? k80[byte - 0x80] : byte;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(c)));
    return out;
}

bool IsValidUtf8(std::string_view text) {
    uint32_t cp;
    for (size_t i = 0; i < text.size();) {
        // Mostly ASCII: eight bytes at a time while none has its top bit set.
        if (i + 8 <= text.size()) {
            uint64_t eight;
            std::memcpy(&eight, text.data() + i, 8);
            if ((eight & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const size_t n = Utf8SequenceAt(text, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string ValidUtf8(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    uint32_t cp;
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8SequenceAt(text, i, cp);
        if (n == 0) {
            AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(text[i])));
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&](uint32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    };
    uint32_t cp;
    for (size_t i = 0; i < text.size();) {
        size_t n = Utf8SequenceAt(text, i, cp);
        if (n == 0) {
            cp = Windows1252Char(static_cast<unsigned char>(text[i]));
            n = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 | (cp >> 10));
            put(0xDC00 | (cp & 0x3FF));
        } else {
            put(cp);
        }
        i += n;
    }
    return out;
}

std::string Utf16ToUtf8(const uint8_t* p, size_t units, bool bigEndian) {
    const auto unit = [&](size_t k) -> uint32_t {
        const uint32_t lo = p[2 * k + (bigEndian ? 1 : 0)], hi = p[2 * k + (bigEndian ? 0 : 1)];
        return lo | (hi << 8);
    };
    std::string out;
    out.reserve(units);
    for (size_t k = 0; k < units; ++k) {
        const uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const uint32_t v = unit(k + 1);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++k;
                continue;
            }
        }
        if (u >= 0xDC80 && u <= 0xDCFF) {
            // How earlier versions wrote a byte that was not UTF-8: read as such a byte is.
            AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(u & 0xFF)));
        } else {
            AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
        }
    }
    return out;
}

}  // namespace voldrane
