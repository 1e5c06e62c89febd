#pragma once

#include <string>

namespace voldrane::win32 {

// The HTML manual lies in the folder "help" beside the program (the installer puts it there,
// and the build copies it there). A page: "" the contents, "config" the configuration
// dialog, "office" the office dialog. Empty when the manual is missing.
std::wstring ManualPage(const std::string& page);

// Opens the page in the user's browser. False, with the reason, when it cannot.
bool OpenManual(const std::string& page, std::string* error);

}  // namespace voldrane::win32
