#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "ui/UserPrompts.h"

namespace voldrane::test {

// Answers the program's questions from a script and records every question and message.
class ScriptedPrompt final : public ui::IUserPrompts {
  public:
    struct Shown {
        std::string text;
        ui::PromptIcon icon;
        bool question;
    };

    void Answer(bool yes) { m_answers.push_back(yes); }

    bool AskYesNo(const std::string& text, ui::PromptIcon icon) override {
        shown.push_back({text, icon, true});
        if (m_answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return false;
        }
        const bool yes = m_answers.front();
        m_answers.pop_front();
        return yes;
    }
    void ShowMessage(const std::string& text, ui::PromptIcon icon) override {
        shown.push_back({text, icon, false});
    }

    std::vector<Shown> shown;
    bool AllAnswersUsed() const { return m_answers.empty(); }

  private:
    std::deque<bool> m_answers;
};

}  // namespace voldrane::test
