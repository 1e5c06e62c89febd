#pragma once

#include <string>
#include <string_view>

namespace voldrane {

// Texts from the settings store may hold any bytes (a hand-edited file, another tool). Before
// one is shown in the tray it becomes one line of valid UTF-8: each byte that does not belong
// to a UTF-8 character becomes U+FFFD, each control character a space.
std::string DisplayText(std::string_view text);

// The length in bytes of the UTF-8 character that starts at text[i]; 0 when the bytes there
// are not one (a stray continuation byte, an overlong form, a surrogate, a cut-off end).
size_t Utf8CharLength(std::string_view text, size_t i);

}  // namespace voldrane
