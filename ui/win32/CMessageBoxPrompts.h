#pragma once

#include "ui/UserPrompts.h"

namespace voldrane::win32 {

// The questions and messages as message boxes captioned "Voldrane", owned by the program's
// active window (a dialog), so that a question from a dialog keeps that dialog waiting.
class CMessageBoxPrompts final : public ui::IUserPrompts {
  public:
    bool AskYesNo(const std::string& text, ui::PromptIcon icon) override;
    void ShowMessage(const std::string& text, ui::PromptIcon icon) override;
};

}  // namespace voldrane::win32
