#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/DesktopNotices.h"

namespace voldrane::win32 {

class CNotificationArea;

// The command of the popup's "Undo" entry; outside the frame's own ranges.
inline constexpr int ID_UNDO_SWITCH = 32990;

// Desktop notices as balloons of the program's tray icon. A balloon offers one action, a
// click: that opens the settings. Undo is an entry of the tray menu ("Undo Printer Switch")
// from the moment the balloon shows until it is chosen or the next balloon replaces it: a
// balloon goes away after seconds, and a user who notices the wrong printer later still finds
// it there. Whether the switch may still be undone is the frame's decision.
class CBalloonNotices final : public platform::IDesktopNotices {
  public:
    CBalloonNotices(CNotificationArea& area, uint32_t iconId);
    ~CBalloonNotices() override;

    void Show(const std::string& text, std::function<void(Action)> acted) override;

  private:
    void Clear();

    CNotificationArea& m_area;
    uint32_t m_iconId;
};

}  // namespace voldrane::win32
