#include "app/CTrayIcon.h"

#include <cstring>

#include "app/DisplayText.h"

namespace voldrane {

using platform::kNifIcon;
using platform::kNifMessage;
using platform::kNifTip;
using platform::NotifyEvent;
using platform::NotifyOp;

CTrayIcon::CTrayIcon(platform::INotificationArea& area) : m_area(area) {}

CTrayIcon::CTrayIcon(platform::INotificationArea& area, platform::INotificationOwner* owner,
                     const std::string& tip, int icon, uint32_t id)
    : m_area(area) {
    Create(owner, tip, icon, id);
    m_bHidden = false;
}

CTrayIcon::~CTrayIcon() {
    Remove();
}

void CTrayIcon::CopyTip(char (&field)[platform::kTipSize], const std::string& text) {
    // The tip is one line of valid UTF-8, whatever the stored name holds.
    const std::string shown = DisplayText(text);
    size_t n = std::min(shown.size(), platform::kTipSize - 1);
    // Never end inside a character: step back over continuation bytes (10xxxxxx) to the
    // start of the character that does not fit, and cut before it.
    if (n < shown.size()) {
        while (n > 0 && (static_cast<unsigned char>(shown[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(field, shown.data(), n);
    std::memset(field + n, 0, platform::kTipSize - n);
}

bool CTrayIcon::Send(NotifyOp op, uint32_t flags) {
    m_data.flags = flags;
    return m_area.Notify(op, m_data);
}

bool CTrayIcon::Create(platform::INotificationOwner* owner, const std::string& tip, int icon,
                       uint32_t id) {
    m_bActive = m_area.IsAvailable();
    if (!m_bActive) return false;
    m_bActive = owner != nullptr;
    if (!m_bActive) return false;

    m_data = {};
    m_data.owner = owner;
    m_data.id = id;
    m_data.icon = icon;
    CopyTip(m_data.tip, tip);
    // The menu must be in place before the icon shows: some trays never ask for it later.
    if (!m_menu.empty()) m_area.SetMenu(id, m_menu);
    m_bActive = Send(NotifyOp::Add, kNifMessage | kNifIcon | kNifTip);
    return m_bActive;
}

bool CTrayIcon::SetIcon(int icon) {
    if (!m_bActive) return false;
    m_data.icon = icon;
    return Send(NotifyOp::Modify, kNifIcon);
}

int CTrayIcon::GetIcon() const {
    return m_bActive ? m_data.icon : 0;
}

bool CTrayIcon::SetTip(const std::string& tip) {
    if (!m_bActive) return false;
    CopyTip(m_data.tip, tip);
    return Send(NotifyOp::Modify, kNifTip);
}

std::string CTrayIcon::GetTip() const {
    return m_bActive ? std::string(m_data.tip) : std::string();
}

bool CTrayIcon::SetOwner(platform::INotificationOwner* owner) {
    if (!m_bActive) return false;
    m_data.owner = owner;
    return Send(NotifyOp::Modify, 0);
}

platform::INotificationOwner* CTrayIcon::GetOwner() const {
    return m_data.owner;
}

void CTrayIcon::Hide() {
    if (m_bActive && !m_bHidden) {
        Send(NotifyOp::Delete, kNifIcon);
        m_bHidden = true;
    }
}

void CTrayIcon::Show() {
    if (m_bActive && m_bHidden) {
        Send(NotifyOp::Add, kNifMessage | kNifIcon | kNifTip);
        m_bHidden = false;
    }
}

void CTrayIcon::Reinsert() {
    Hide();
    Show();
}

void CTrayIcon::Remove() {
    if (m_bActive) {
        Send(NotifyOp::Delete, 0);
        m_bActive = false;
    }
}

void CTrayIcon::SetMenu(const std::vector<platform::MenuEntry>& menu) {
    m_menu = menu;
    if (m_bActive) m_area.SetMenu(m_data.id, m_menu);
}

long CTrayIcon::HandleMessage(uint32_t id, NotifyEvent event) {
    if (id != m_data.id) return 0;
    switch (event) {
        case NotifyEvent::ContextMenu:
            // The area shows the menu it was given; without one there is nothing to show.
            return m_menu.empty() ? 0 : 1;
        case NotifyEvent::DoubleClick:
        case NotifyEvent::Activate: {
            if (m_menu.empty()) return 0;
            const platform::MenuEntry& first = m_menu.front();
            if (first.kind == platform::MenuEntry::Command && m_data.owner)
                m_data.owner->OnMenuCommand(first.command);
            return 1;
        }
        case NotifyEvent::MiddleClick:
            break;
    }
    return 1;
}

}  // namespace voldrane
