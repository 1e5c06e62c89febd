#include "app/Startup.h"

#include <cstdlib>

#include "app/DisplayText.h"

namespace voldrane {

namespace {

constexpr int kTrayWaitMs = 10000;
// Of the diagnostics, at most this many UTF-16 units (as a message box counts them) are shown.
constexpr size_t kDiagnosticsShown = 2000;

// The first `units` UTF-16 units of `text`; a byte that is no UTF-8 counts as one character.
std::string LeftUtf16(const std::string& text, size_t units) {
    size_t i = 0, counted = 0;
    while (i < text.size()) {
        const size_t n = Utf8CharLength(text, i);
        const size_t step = n == 0 ? 1 : n;
        const size_t width = n == 4 ? 2 : 1;  // outside the BMP: a surrogate pair
        if (counted + width > units) break;
        counted += width;
        i += step;
    }
    return text.substr(0, i);
}

}  // namespace

int TrayWaitMs() {
    const char* text = std::getenv("VOLDRANE_TRAY_WAIT_MS");
    if (!text || !*text) return kTrayWaitMs;
    char* end = nullptr;
    const long ms = std::strtol(text, &end, 10);
    return (*end == '\0' && ms >= 0 && ms <= 600000) ? static_cast<int>(ms) : kTrayWaitMs;
}

std::string StoreProblemsText(const std::string& readError, const std::string& diagnostics) {
    std::string text;
    if (!readError.empty())
        text = "The settings file cannot be read, so no office networks were loaded:\n" +
               readError + "\n\nNothing will be written to it until it can be read again.";
    if (!diagnostics.empty()) {
        if (!text.empty()) text += "\n\n";
        text += "Parts of the settings file could not be read and were left out:\n" +
                LeftUtf16(diagnostics, kDiagnosticsShown);
    }
    return text;
}

}  // namespace voldrane
