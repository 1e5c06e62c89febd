#pragma once

#include "ui/UserPrompts.h"

namespace voldrane::ui::qt {

// The questions and messages as Qt message boxes, above the window that is modal at the time
// (the configuration dialog while it is open), else on their own.
class QtUserPrompts final : public IUserPrompts {
  public:
    bool AskYesNo(const std::string& text, PromptIcon icon) override;
    void ShowMessage(const std::string& text, PromptIcon icon) override;
};

}  // namespace voldrane::ui::qt
