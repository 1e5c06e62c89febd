#include "ui/win32/CFrameWindow.h"

#include "ui/win32/CNotificationArea.h"

namespace voldrane::win32 {

namespace {
constexpr UINT WM_POSTED_CALLS = WM_APP + 1;
}

class CFrameWindow::Timer final : public ISettleTimer {
  public:
    Timer(CFrameWindow& window, std::function<void()> expired) : m_window(window) {
        m_id = m_window.m_nextTimer++;
        m_window.m_timers[m_id] = std::move(expired);
    }
    ~Timer() override {
        KillTimer(m_window.m_hwnd, m_id);
        m_window.m_timers.erase(m_id);
    }
    int64_t NowMs() const override { return static_cast<int64_t>(GetTickCount64()); }
    void Start(int ms) override {
        SetTimer(m_window.m_hwnd, m_id, static_cast<UINT>(ms < 0 ? 0 : ms), nullptr);
    }

  private:
    CFrameWindow& m_window;
    UINT_PTR m_id = 0;
};

CFrameWindow::~CFrameWindow() {
    if (m_hwnd) DestroyWindow(m_hwnd);
}

bool CFrameWindow::Create(HINSTANCE instance, HICON icon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &CFrameWindow::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kFrameClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    m_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    m_hwnd = CreateWindowExW(0, kFrameClass, L"Voldrane", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                             instance, this);
    return m_hwnd != nullptr;
}

std::unique_ptr<ISettleTimer> CFrameWindow::MakeSettleTimer(std::function<void()> expired) {
    return std::make_unique<Timer>(*this, std::move(expired));
}

void CFrameWindow::Post(std::function<void()> call) {
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(m_postedMutex);
        first = m_posted.empty();
        m_posted.push_back(std::move(call));
    }
    // One message for a burst of calls.
    if (first) PostMessageW(m_hwnd, WM_POSTED_CALLS, 0, 0);
}

LRESULT CALLBACK CFrameWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CFrameWindow*>(create->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CFrameWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->Handle(msg, wParam, lParam);
}

LRESULT CFrameWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == m_taskbarCreated && m_taskbarCreated != 0) {
        if (m_area) m_area->OnTaskbarCreated();
        return 0;
    }
    switch (msg) {
        case WM_TRAYNOTIFY:
            if (m_area) m_area->OnCallback(wParam, lParam);
            return 0;
        case WM_COMMAND:
            // Menu commands and accelerators; notifications of child controls (there are none)
            // carry a window in lParam.
            if (m_area && lParam == 0) m_area->OnCommand(LOWORD(wParam));
            return 0;
        case WM_POSTED_CALLS: {
            std::vector<std::function<void()>> calls;
            {
                std::lock_guard<std::mutex> lock(m_postedMutex);
                calls.swap(m_posted);
            }
            for (auto& call : calls) call();
            return 0;
        }
        case WM_TIMER: {
            auto it = m_timers.find(wParam);
            if (it == m_timers.end()) return 0;
            KillTimer(m_hwnd, wParam);  // settle timers expire once
            std::function<void()> expired = it->second;
            expired();
            return 0;
        }
        case WM_POWERBROADCAST:
            if (wParam == PBT_APMRESUMEAUTOMATIC && m_resumed) m_resumed();
            return TRUE;
        case WM_CLOSE:
            // As "Exit": the message loop ends and the icon goes with the frame.
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            HWND hwnd = m_hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            m_hwnd = nullptr;
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        }
        default:
            break;
    }
    return DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

}  // namespace voldrane::win32
