#pragma once

#include <string>

namespace voldrane {

// The start-up decisions of the program that do not depend on the toolkit drawing it.

// How long to wait for the desktop's notification area: at login the program may start before
// the panel that hosts tray icons. VOLDRANE_TRAY_WAIT_MS (0 to 600000) changes the 10 seconds.
int TrayWaitMs();

// The message that says what of the settings file could not be read at start (the reason it
// could not be read at all, the diagnostics of the parts left out); empty when all was read.
std::string StoreProblemsText(const std::string& readError, const std::string& diagnostics);

}  // namespace voldrane
