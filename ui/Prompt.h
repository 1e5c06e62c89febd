#pragma once

#include <QString>

class QWidget;

namespace voldrane::ui {

enum class PromptIcon { Question, Exclamation, Stop, Information };

// Every message box of the program goes through here, so tests can answer them instead of
// a person and no test ever blocks on a modal window.
class IPrompt {
  public:
    virtual ~IPrompt() = default;
    // Yes/No question; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text, PromptIcon icon) = 0;
    // A message with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& text, PromptIcon icon) = 0;
};

// The prompt in force: the real message boxes unless a test installed its own.
IPrompt& Prompt();
// Installs `prompt` (not owned); nullptr restores the real message boxes.
void SetPrompt(IPrompt* prompt);

}  // namespace voldrane::ui
