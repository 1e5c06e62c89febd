#pragma once

#include <string>

namespace voldrane::win32 {

enum class BoxIcon { Question, Exclamation, Stop, Information };

// Message boxes captioned "Voldrane", owned by the program's active window (a dialog), so
// that a question from a dialog keeps that dialog waiting.
bool AskYesNo(const std::string& text, BoxIcon icon);
void ShowMessage(const std::string& text, BoxIcon icon);

}  // namespace voldrane::win32
