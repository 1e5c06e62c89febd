#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/NotificationArea.h"

namespace voldrane::test {

// A notification area that records every call and answers as a real one would: Add fails
// for an id in use, Modify and Delete fail for one that is not.
class RecordingNotificationArea final : public platform::INotificationArea {
  public:
    struct Call {
        platform::NotifyOp op;
        uint32_t id;
        uint32_t flags;
        int icon;
        std::string tip;
        platform::INotificationOwner* owner;
    };

    bool available = true;
    bool refuseAdd = false;
    bool refuseModify = false;
    std::vector<Call> calls;
    std::map<uint32_t, std::vector<platform::MenuEntry>> menus;
    int menuUpdates = 0;
    // What the tray shows now, per id.
    struct Shown {
        int icon = 0;
        std::string tip;
    };
    std::map<uint32_t, Shown> shown;

    bool IsAvailable() override { return available; }

    bool Notify(platform::NotifyOp op, const platform::NotifyIconData& d) override {
        calls.push_back({op, d.id, d.flags, d.icon, d.tip, d.owner});
        const bool exists = shown.count(d.id) != 0;
        switch (op) {
            case platform::NotifyOp::Add:
                if (exists || refuseAdd || !available) return false;
                shown[d.id] = {d.flags & platform::kNifIcon ? d.icon : 0,
                               d.flags & platform::kNifTip ? d.tip : ""};
                return true;
            case platform::NotifyOp::Modify:
                if (!exists || refuseModify) return false;
                if (d.flags & platform::kNifIcon) shown[d.id].icon = d.icon;
                if (d.flags & platform::kNifTip) shown[d.id].tip = d.tip;
                return true;
            case platform::NotifyOp::Delete:
                if (!exists) return false;
                shown.erase(d.id);
                return true;
        }
        return false;
    }

    void SetMenu(uint32_t id, const std::vector<platform::MenuEntry>& menu) override {
        menus[id] = menu;
        ++menuUpdates;
    }

    int Count(platform::NotifyOp op) const {
        int n = 0;
        for (const Call& c : calls) n += c.op == op;
        return n;
    }
};

// An owner that remembers what reached it.
class RecordingOwner final : public platform::INotificationOwner {
  public:
    std::vector<int> commands;
    int notifications = 0;
    void OnNotify(uint32_t, platform::NotifyEvent) override { ++notifications; }
    void OnMenuCommand(int command) override { commands.push_back(command); }
};

}  // namespace voldrane::test
