#pragma once

#include <functional>
#include <memory>
#include <string>

namespace voldrane::platform {

// Passing desktop notifications with two actions, for what the program did by itself.
class IDesktopNotices {
  public:
    virtual ~IDesktopNotices() = default;
    enum class Action { Undo, Settings };
    // Shows `text` (replacing the notification shown before, if any). `acted` is called on
    // the UI thread when the user picks an action; never where the server offers none.
    virtual void Show(const std::string& text, std::function<void(Action)> acted) = 0;
};

// The desktop's notification service; its calls never wait on the UI thread. Null when the
// session has no bus.
std::unique_ptr<IDesktopNotices> CreateDesktopNotices();

}  // namespace voldrane::platform
