#pragma once

#include <string>
#include <string_view>

namespace voldrane::win32 {

// The program's texts are UTF-8; Win32's wide calls take UTF-16. Bytes that are not UTF-8
// become U+FFFD, as the system's converter makes them.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

}  // namespace voldrane::win32
