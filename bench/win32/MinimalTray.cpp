// The least a Win32 tray program does: a hidden window, one notification-area icon, a message
// loop. The floor that bench/win32/win32_tray_bench.py holds voldrane.exe against. Like
// voldrane.exe it ends on WM_COMMAND 57665 (the tray menu's "Exit") and on WM_CLOSE.
#include <windows.h>

#include <shellapi.h>

namespace {

constexpr UINT kTrayMessage = WM_USER + 10;
constexpr UINT kIconId = 130;
constexpr WORD kExitCommand = 57665;

NOTIFYICONDATAW g_icon{};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kExitCommand) DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            Shell_NotifyIconW(NIM_DELETE, &g_icon);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"Minimal Tray";
    if (!RegisterClassExW(&wc)) return 1;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Minimal Tray", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, instance, nullptr);
    if (!hwnd) return 1;

    g_icon.cbSize = sizeof g_icon;
    g_icon.hWnd = hwnd;
    g_icon.uID = kIconId;
    g_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    g_icon.uCallbackMessage = kTrayMessage;
    g_icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
    lstrcpynW(g_icon.szTip, L"Minimal Tray", ARRAYSIZE(g_icon.szTip));
    if (!Shell_NotifyIconW(NIM_ADD, &g_icon)) return 1;
    g_icon.uVersion = NOTIFYICON_VERSION_4;
    Shell_NotifyIconW(NIM_SETVERSION, &g_icon);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
