#include "ui/win32/CNotificationArea.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

#include "ui/win32/Wide.h"

namespace voldrane::win32 {

using platform::MenuEntry;
using platform::NotifyEvent;
using platform::NotifyIconData;
using platform::NotifyOp;

namespace {

// The shell's fixed-size text fields: cut, never overrun, always terminated.
template <size_t N>
void CopyField(wchar_t (&field)[N], const std::wstring& text) {
    const size_t n = std::min(text.size(), N - 1);
    std::wmemcpy(field, text.data(), n);
    field[n] = L'\0';
}

void AppendEntries(HMENU menu, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Separator:
                AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
                break;
            case MenuEntry::Submenu: {
                HMENU sub = CreatePopupMenu();
                AppendEntries(sub, e.children);
                AppendMenuW(menu, MF_POPUP | MF_STRING | (e.enabled ? 0u : MF_GRAYED),
                            reinterpret_cast<UINT_PTR>(sub), Widen(e.text).c_str());
                break;
            }
            case MenuEntry::Command:
                AppendMenuW(
                    menu, MF_STRING | (e.checked ? MF_CHECKED : 0u) | (e.enabled ? 0u : MF_GRAYED),
                    static_cast<UINT_PTR>(e.command), Widen(e.text).c_str());
                if (e.isDefault) SetMenuDefaultItem(menu, static_cast<UINT>(e.command), FALSE);
                break;
        }
    }
}

}  // namespace

HMENU BuildPopupMenu(const std::vector<MenuEntry>& menu) {
    HMENU popup = CreatePopupMenu();
    AppendEntries(popup, menu);
    return popup;
}

ShellCalls SystemShell() {
    ShellCalls calls;
    calls.notifyIcon = [](DWORD message, NOTIFYICONDATAW* data) {
        return Shell_NotifyIconW(message, data);
    };
    calls.trackPopup = [](HMENU popup, int x, int y, HWND owner) {
        // Without the foreground the menu would not close when the user clicks elsewhere;
        // the message after it lets the next click reach the menu's owner (a shell quirk).
        SetForegroundWindow(owner);
        const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
        TrackPopupMenu(popup, align | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
        PostMessageW(owner, WM_NULL, 0, 0);
    };
    return calls;
}

CNotificationArea::CNotificationArea(HWND window, HINSTANCE resources, ShellCalls shell)
    : m_window(window), m_resources(resources), m_shell(std::move(shell)) {}

CNotificationArea::~CNotificationArea() {
    for (const auto& [id, data] : m_icons) {
        NOTIFYICONDATAW nid = Record(data, 0);
        m_shell.notifyIcon(NIM_DELETE, &nid);
    }
    FreeIcons();
}

bool CNotificationArea::IsAvailable() {
    return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

bool CNotificationArea::WaitUntilAvailable(int timeoutMs) {
    // At sign-in the program may start before Explorer: its "TaskbarCreated" comes to the
    // frame window then, so messages are handled while waiting.
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    while (!IsAvailable()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<ULONGLONG>(end - now, 200)),
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

std::string CNotificationArea::UnavailableReason() {
    return "the task bar's notification area is not running (Explorer has not started)";
}

HICON CNotificationArea::LoadSmallIcon(int resource) {
    if (resource == 0) return nullptr;
    if (auto it = m_loaded.find(resource); it != m_loaded.end()) return it->second;
    // The size the notification area shows at the current scaling, from the .ico's images.
    auto* icon = static_cast<HICON>(LoadImageW(m_resources, MAKEINTRESOURCEW(resource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (!icon) return LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION, shared
    m_loaded[resource] = icon;
    return icon;
}

void CNotificationArea::FreeIcons() {
    for (const auto& [resource, icon] : m_loaded) DestroyIcon(icon);
    m_loaded.clear();
}

NOTIFYICONDATAW CNotificationArea::Record(const NotifyIconData& data, uint32_t flags) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = m_window;
    nid.uID = data.id;
    if (flags & platform::kNifMessage) {
        nid.uFlags |= NIF_MESSAGE;
        nid.uCallbackMessage = WM_TRAYNOTIFY;
    }
    if (flags & platform::kNifIcon) {
        nid.uFlags |= NIF_ICON;
        nid.hIcon = LoadSmallIcon(data.icon);
    }
    if (flags & platform::kNifTip) {
        // Version 4 shows no tooltip of its own without NIF_SHOWTIP.
        nid.uFlags |= NIF_TIP | NIF_SHOWTIP;
        CopyField(nid.szTip, Widen(data.tip));
    }
    return nid;
}

bool CNotificationArea::Add(const NotifyIconData& data) {
    NOTIFYICONDATAW nid =
        Record(data, platform::kNifMessage | platform::kNifIcon | platform::kNifTip);
    if (!m_shell.notifyIcon(NIM_ADD, &nid)) return false;
    nid.uVersion = NOTIFYICON_VERSION_4;
    m_shell.notifyIcon(NIM_SETVERSION, &nid);
    return true;
}

bool CNotificationArea::Notify(NotifyOp op, const NotifyIconData& data) {
    switch (op) {
        case NotifyOp::Add: {
            if (m_icons.count(data.id) || !data.owner) return false;
            if (!Add(data)) return false;
            m_icons[data.id] = data;
            return true;
        }
        case NotifyOp::Modify: {
            auto it = m_icons.find(data.id);
            if (it == m_icons.end()) return false;
            NotifyIconData& kept = it->second;
            kept.owner = data.owner;
            if (data.flags & platform::kNifIcon) kept.icon = data.icon;
            if (data.flags & platform::kNifTip)
                std::copy(data.tip, data.tip + platform::kTipSize, kept.tip);
            NOTIFYICONDATAW nid = Record(data, data.flags);
            return nid.uFlags == 0 || m_shell.notifyIcon(NIM_MODIFY, &nid);
        }
        case NotifyOp::Delete: {
            auto it = m_icons.find(data.id);
            if (it == m_icons.end()) return false;
            NOTIFYICONDATAW nid = Record(data, 0);
            m_icons.erase(it);
            return m_shell.notifyIcon(NIM_DELETE, &nid);
        }
    }
    return false;
}

void CNotificationArea::SetMenu(uint32_t iconId, const std::vector<MenuEntry>& menu) {
    m_menus[iconId] = menu;
}

void CNotificationArea::OnCallback(WPARAM wParam, LPARAM lParam) {
    // NOTIFYICON_VERSION_4: the event in the low word, the icon id in the high word, and the
    // anchor point (in screen coordinates) in wParam.
    const UINT event = LOWORD(lParam);
    const uint32_t id = HIWORD(lParam);
    auto it = m_icons.find(id);
    if (it == m_icons.end() || !it->second.owner) return;
    platform::INotificationOwner* owner = it->second.owner;
    switch (event) {
        case WM_CONTEXTMENU:
            // The owner brings the menu up to date first.
            owner->OnNotify(id, NotifyEvent::ContextMenu);
            ShowMenu(id, GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam));
            break;
        case WM_LBUTTONDBLCLK:
            owner->OnNotify(id, NotifyEvent::DoubleClick);
            break;
        case NIN_KEYSELECT:  // Enter or Space on the icon
            owner->OnNotify(id, NotifyEvent::Activate);
            break;
        case WM_MBUTTONUP:
            owner->OnNotify(id, NotifyEvent::MiddleClick);
            break;
        case NIN_BALLOONUSERCLICK:
            if (m_balloonClicked) {
                // The handler may show another balloon, which replaces it.
                std::function<void()> clicked = m_balloonClicked;
                clicked();
            }
            break;
        default:
            // A single click (NIN_SELECT) does nothing, as a double click begins with one.
            break;
    }
}

std::vector<MenuEntry> CNotificationArea::MenuToShow(uint32_t iconId) const {
    auto it = m_menus.find(iconId);
    if (it == m_menus.end() || it->second.empty()) return {};
    std::vector<MenuEntry> entries = it->second;
    // After "Configure Networks" and "Use Network", before the help and exit part.
    const auto at = entries.begin() + std::min<ptrdiff_t>(2, std::ssize(entries));
    entries.insert(at, m_extraEntries.begin(), m_extraEntries.end());
    return entries;
}

void CNotificationArea::ShowMenu(uint32_t id, int x, int y) {
    const std::vector<MenuEntry> entries = MenuToShow(id);
    if (entries.empty()) return;
    HMENU popup = BuildPopupMenu(entries);
    m_shell.trackPopup(popup, x, y, m_window);
    DestroyMenu(popup);
}

void CNotificationArea::OnCommand(int command) {
    for (const MenuEntry& e : m_extraEntries) {
        if (e.kind == MenuEntry::Command && e.command == command) {
            std::function<void(int)> chosen = m_extraChosen;
            if (chosen) chosen(command);
            return;
        }
    }
    if (m_icons.empty()) return;
    if (platform::INotificationOwner* owner = m_icons.begin()->second.owner)
        owner->OnMenuCommand(command);
}

void CNotificationArea::OnTaskbarCreated() {
    // The scaling may have changed with the new Explorer: the pictures are loaded again.
    FreeIcons();
    for (const auto& [id, data] : m_icons) Add(data);
}

bool CNotificationArea::ShowBalloon(uint32_t iconId, const std::string& title,
                                    const std::string& text, std::function<void()> clicked) {
    auto it = m_icons.find(iconId);
    if (it == m_icons.end()) return false;
    NOTIFYICONDATAW nid = Record(it->second, 0);
    nid.uFlags = NIF_INFO;
    nid.dwInfoFlags = NIIF_INFO;
    CopyField(nid.szInfoTitle, Widen(title));
    CopyField(nid.szInfo, Widen(text));
    m_balloonClicked = std::move(clicked);
    return m_shell.notifyIcon(NIM_MODIFY, &nid);
}

void CNotificationArea::SetExtraEntries(std::vector<MenuEntry> entries,
                                        std::function<void(int)> chosen) {
    m_extraEntries = std::move(entries);
    m_extraChosen = std::move(chosen);
}

}  // namespace voldrane::win32
