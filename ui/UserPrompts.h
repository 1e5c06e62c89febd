#pragma once

#include <string>

namespace voldrane::ui {

enum class PromptIcon { Question, Exclamation, Stop, Information };

// Every question and message of the program goes through here: each toolkit shows them in its
// own message boxes, and tests answer them instead of a person, so no test blocks on a modal
// window. Texts are UTF-8.
class IUserPrompts {
  public:
    virtual ~IUserPrompts() = default;
    // A Yes/No question, Yes the default; true for Yes.
    virtual bool AskYesNo(const std::string& text, PromptIcon icon) = 0;
    // A message with an OK button.
    virtual void ShowMessage(const std::string& text, PromptIcon icon) = 0;
};

}  // namespace voldrane::ui
