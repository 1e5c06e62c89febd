#include "ui/Prompt.h"

#include <QMessageBox>

#include "res/Strings.h"

namespace voldrane::ui {

namespace {

QMessageBox::Icon ToQt(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::Exclamation:
            return QMessageBox::Warning;
        case PromptIcon::Stop:
            return QMessageBox::Critical;
        case PromptIcon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

class MessageBoxPrompt final : public IPrompt {
  public:
    bool AskYesNo(QWidget* parent, const QString& text, PromptIcon icon) override {
        QMessageBox box(ToQt(icon), QString::fromUtf8(res::kAppTitle), text,
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    }
    void ShowMessage(QWidget* parent, const QString& text, PromptIcon icon) override {
        QMessageBox box(ToQt(icon), QString::fromUtf8(res::kAppTitle), text, QMessageBox::Ok,
                        parent);
        box.exec();
    }
};

MessageBoxPrompt g_messageBoxes;
IPrompt* g_prompt = nullptr;

}  // namespace

IPrompt& Prompt() {
    return g_prompt ? *g_prompt : g_messageBoxes;
}

void SetPrompt(IPrompt* prompt) {
    g_prompt = prompt;
}

}  // namespace voldrane::ui
