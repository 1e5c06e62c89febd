#include "ui/win32/CMessageBoxPrompts.h"

#include <windows.h>

#include "res/Strings.h"
#include "ui/win32/Wide.h"

namespace voldrane::win32 {

namespace {

UINT IconFlag(ui::PromptIcon icon) {
    switch (icon) {
        case ui::PromptIcon::Question:
            return MB_ICONQUESTION;
        case ui::PromptIcon::Exclamation:
            return MB_ICONEXCLAMATION;
        case ui::PromptIcon::Stop:
            return MB_ICONSTOP;
        case ui::PromptIcon::Information:
            return MB_ICONINFORMATION;
    }
    return 0;
}

int Box(const std::string& text, UINT flags) {
    // The hidden frame window is no owner: a box owned by it would not come to the front.
    HWND owner = GetActiveWindow();
    if (owner && !IsWindowVisible(owner)) owner = nullptr;
    return MessageBoxW(owner, Widen(text).c_str(), Widen(res::kAppTitle).c_str(),
                       flags | MB_SETFOREGROUND | (owner ? 0u : MB_TASKMODAL));
}

}  // namespace

bool CMessageBoxPrompts::AskYesNo(const std::string& text, ui::PromptIcon icon) {
    return Box(text, MB_YESNO | IconFlag(icon)) == IDYES;
}

void CMessageBoxPrompts::ShowMessage(const std::string& text, ui::PromptIcon icon) {
    Box(text, MB_OK | IconFlag(icon));
}

}  // namespace voldrane::win32
