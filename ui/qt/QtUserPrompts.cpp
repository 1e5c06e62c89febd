#include "ui/qt/QtUserPrompts.h"

#include <QApplication>
#include <QMessageBox>

#include "res/Strings.h"

namespace voldrane::ui::qt {

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

}  // namespace

bool QtUserPrompts::AskYesNo(const std::string& text, PromptIcon icon) {
    QMessageBox box(ToQt(icon), QString::fromUtf8(res::kAppTitle), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeModalWidget());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtUserPrompts::ShowMessage(const std::string& text, PromptIcon icon) {
    QMessageBox box(ToQt(icon), QString::fromUtf8(res::kAppTitle), QString::fromStdString(text),
                    QMessageBox::Ok, QApplication::activeModalWidget());
    box.exec();
}

}  // namespace voldrane::ui::qt
