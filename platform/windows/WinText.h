#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace voldrane::platform::windows_os {

// The one place where the program's UTF-8 meets the API's UTF-16. Invalid sequences on
// either side become U+FFFD, so a conversion never fails and never drops the rest.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The OS's text for an error code (GetLastError, a Win32 or WSA error), as FormatMessageW
// gives it in the user's language, without the trailing line end; the number when the OS
// has no text for it.
std::string ErrorText(uint32_t code);
// ErrorText(GetLastError()).
std::string LastErrorText();

}  // namespace voldrane::platform::windows_os
