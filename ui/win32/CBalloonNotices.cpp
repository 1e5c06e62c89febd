#include "ui/win32/CBalloonNotices.h"

#include <memory>

#include "res/Strings.h"
#include "ui/win32/CNotificationArea.h"

namespace voldrane::win32 {

namespace {

constexpr const char* kUndoEntry = "Undo Printer Switch";
constexpr const char* kBalloonHint =
    "Click here for the settings. To undo, choose \"Undo Printer Switch\" from the icon's menu.";

}  // namespace

CBalloonNotices::CBalloonNotices(CNotificationArea& area, uint32_t iconId)
    : m_area(area), m_iconId(iconId) {}

CBalloonNotices::~CBalloonNotices() {
    Clear();
}

void CBalloonNotices::Clear() {
    m_area.SetExtraEntries({}, {});
}

void CBalloonNotices::Show(const std::string& text, std::function<void(Action)> acted) {
    // One handler for both ways in: the last notice's only.
    auto shared = std::make_shared<std::function<void(Action)>>(std::move(acted));
    platform::MenuEntry undo;
    undo.text = kUndoEntry;
    undo.command = ID_UNDO_SWITCH;
    m_area.SetExtraEntries({undo}, [this, shared](int) {
        Clear();  // once: a second Undo would undo nothing
        (*shared)(Action::Undo);
    });
    m_area.ShowBalloon(m_iconId, res::kAppTitle, text + "\n" + kBalloonHint,
                       [shared] { (*shared)(Action::Settings); });
}

}  // namespace voldrane::win32
