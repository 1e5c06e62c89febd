// Drives voldrane.exe as a user would, through the same window messages: it starts the
// program, sends the tray icon's callback messages and menu commands to the frame window,
// finds the dialogs and message boxes and presses their buttons by control id, and checks the
// registry and the program's standard output. The prefix, its offices (made with voldranectl),
// the network and the print server are the calling script's.
//
// usage: tray_driver.exe VOLDRANE_EXE VOLDRANECTL_EXE
//        tray_driver.exe --pose VOLDRANE_EXE   (for the manual's pictures: see screenshots.py)
// Offices expected: "Office A" (this network, printer qa) and "Office B" (another network,
// printer qb); queues qa, qb and qc.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT WM_TRAYNOTIFY = WM_USER + 10;
constexpr UINT kIconId = 130;
constexpr int ID_CONFIGURE_NETWORKS = 32771;
constexpr int ID_NETWORK_AUTODETECT = 32773;
constexpr int ID_NETWORK_FIRST = 32774;
constexpr int ID_UNDO_SWITCH = 32990;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int IDC_ABOUT_VERSION = 1100;
// The configuration dialog's controls.
constexpr int IDC_DELETE = 998, IDC_SELECT = 999, IDC_EDIT = 1001, IDC_NEW = 1002,
              IDC_OFFICES = 1003, IDC_AUTODETECT = 1009, IDC_CLOSE = 8;
// The office dialog's.
constexpr int IDC_NAME = 1007, IDC_PRINTER = 1004, IDC_TABS = 1000, IDC_IPADDRESS = 1005;
constexpr const wchar_t* kOfficesKey = L"SOFTWARE\\Kestamor\\Voldrane\\Offices";
constexpr int kWaitMs = 20000;

int g_failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s - %s\n", ok ? "ok" : "FAIL", what);
    std::fflush(stdout);
    if (!ok) ++g_failures;
}

// Waits until `condition` holds, looking again every few milliseconds; false after `ms`.
bool WaitUntil(const std::function<bool()>& condition, int ms = kWaitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(20);
    }
    return true;
}

// A started program whose standard output is collected.
class Program {
  public:
    explicit Program(const std::wstring& exe) : Program(exe, L"\"" + exe + L"\"") {}
    Program(const std::wstring& exe, std::wstring cmd) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE writeEnd = nullptr;
        CreatePipe(&m_read, &writeEnd, &sa, 0);
        SetHandleInformation(m_read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = writeEnd;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &si, &pi)) {
            m_process = pi.hProcess;
            m_pid = pi.dwProcessId;
            CloseHandle(pi.hThread);
        }
        CloseHandle(writeEnd);
        m_reader = std::thread([this] {
            char buffer[512];
            DWORD n = 0;
            while (ReadFile(m_read, buffer, sizeof buffer, &n, nullptr) && n > 0) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_output.append(buffer, n);
            }
        });
    }
    ~Program() {
        if (m_process && !Ended()) TerminateProcess(m_process, 99);
        if (m_process) WaitForSingleObject(m_process, 5000);
        m_reader.join();
        CloseHandle(m_read);
        if (m_process) CloseHandle(m_process);
    }
    bool Started() const { return m_process != nullptr; }
    DWORD Pid() const { return m_pid; }
    bool Ended() const { return WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(m_process, &code);
        return code;
    }
    std::string Output() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_output;
    }
    // How often `line` has come as a whole line so far.
    int Lines(const std::string& line) const {
        const std::string out = Output();
        int count = 0;
        size_t start = 0;
        while (start < out.size()) {
            size_t end = out.find('\n', start);
            if (end == std::string::npos) break;
            std::string l = out.substr(start, end - start);
            if (!l.empty() && l.back() == '\r') l.pop_back();
            if (l == line) ++count;
            start = end + 1;
        }
        return count;
    }

  private:
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
    HANDLE m_read = nullptr;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::string m_output;
};

struct Search {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* title;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid || (s->visibleOnly && !IsWindowVisible(hwnd))) return TRUE;
    wchar_t text[256] = {};
    if (s->cls) {
        GetClassNameW(hwnd, text, 256);
        if (std::wstring(text) != s->cls) return TRUE;
    }
    if (s->title) {
        GetWindowTextW(hwnd, text, 256);
        if (std::wstring(text) != s->title) return TRUE;
    }
    s->found = hwnd;
    return FALSE;
}

// A top-level window of the process: by class and title (either may be null).
HWND FindOf(DWORD pid, const wchar_t* cls, const wchar_t* title, bool visibleOnly = true) {
    Search s{pid, cls, title, visibleOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitForWindow(DWORD pid, const wchar_t* cls, const wchar_t* title) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindOf(pid, cls, title)) != nullptr; });
    return found;
}

std::wstring Text(HWND hwnd) {
    wchar_t text[1024] = {};
    SendMessageW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

// The message box of the program showing `text` (its caption is "Voldrane").
HWND WaitForMessageBox(DWORD pid, const std::wstring& text) {
    HWND found = nullptr;
    WaitUntil([&] {
        HWND box = FindOf(pid, L"#32770", L"Voldrane");
        // The text of a message box is its static control 0xFFFF.
        if (box && Text(GetDlgItem(box, 0xFFFF)) == text) found = box;
        return found != nullptr;
    });
    return found;
}

// Presses a button; posted, as the button may open a modal window.
void Press(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Escape, or the close box: the dialog's cancel command.
void Cancel(HWND dialog) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// List-view messages carry pointers: their records go into the program's own memory.
class RemoteMemory {
  public:
    RemoteMemory(DWORD pid, size_t size) : m_size(size) {
        m_process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process)
            m_base = static_cast<char*>(
                VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteMemory() {
        if (m_base) VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
        if (m_process) CloseHandle(m_process);
    }
    char* At(size_t offset) const { return m_base + offset; }
    void Write(size_t offset, const void* data, size_t n) {
        WriteProcessMemory(m_process, m_base + offset, data, n, nullptr);
    }
    void Read(size_t offset, void* data, size_t n) const {
        ReadProcessMemory(m_process, m_base + offset, data, n, nullptr);
    }

  private:
    HANDLE m_process = nullptr;
    char* m_base = nullptr;
    size_t m_size;
};

std::vector<std::wstring> ListTexts(HWND list, DWORD pid) {
    std::vector<std::wstring> texts;
    RemoteMemory mem(pid, 4096);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = reinterpret_cast<wchar_t*>(mem.At(1024));
        item.cchTextMax = 1024;
        mem.Write(0, &item, sizeof item);
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(mem.At(0)));
        wchar_t text[1024] = {};
        mem.Read(1024, text, sizeof text - sizeof(wchar_t));
        texts.emplace_back(text);
    }
    return texts;
}

// Selects the entry with `text` as a click would (LVN_ITEMCHANGED follows). False without one.
bool SelectListItem(HWND list, DWORD pid, const std::wstring& text) {
    const std::vector<std::wstring> texts = ListTexts(list, pid);
    for (size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] != text) continue;
        RemoteMemory mem(pid, 1024);
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        mem.Write(0, &item, sizeof item);
        SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(mem.At(0)));
        return true;
    }
    return false;
}

// The office keys' values, by office name: "" when no office has that name.
std::wstring StoredValue(const std::wstring& officeName, const wchar_t* value) {
    HKEY offices = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kOfficesKey, 0, KEY_READ, &offices) != ERROR_SUCCESS)
        return L"";
    std::wstring result;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD n = 256;
        if (RegEnumKeyExW(offices, i, name, &n, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        wchar_t data[1024] = {};
        DWORD size = sizeof data - sizeof(wchar_t);
        if (RegGetValueW(offices, name, L"Office Name", RRF_RT_REG_SZ, nullptr, data, &size) !=
                ERROR_SUCCESS ||
            officeName != data)
            continue;
        wchar_t wanted[1024] = {};
        size = sizeof wanted - sizeof(wchar_t);
        if (RegGetValueW(offices, name, value, RRF_RT_REG_SZ, nullptr, wanted, &size) ==
            ERROR_SUCCESS)
            result = wanted;
        else
            result = L"(missing)";
        break;
    }
    RegCloseKey(offices);
    return result;
}

bool OfficeStored(const std::wstring& officeName) {
    return !StoredValue(officeName, L"Office Name").empty();
}

DWORD StoredAutoDetect() {
    DWORD value = 0xFFFFFFFF, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Kestamor\\Voldrane", L"Auto Detect",
                 RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

// Wine's tray of its own (no desktop tray on the display): shown while it holds an icon.
bool StandaloneTrayShown() {
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    return tray && IsWindowVisible(tray);
}

// A balloon of the notification area: a tooltip window of Explorer's (not the program's)
// that shows.
bool BalloonShown(DWORD programPid) {
    struct Found {
        DWORD pid;
        bool shown;
    } found{programPid, false};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<Found*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t cls[64] = {};
            GetClassNameW(hwnd, cls, 64);
            if (pid != f->pid && IsWindowVisible(hwnd) && std::wstring(cls) == L"tooltips_class32")
                f->shown = true;
            return !f->shown;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.shown;
}

void Tray(HWND frame, UINT event) {
    // NOTIFYICON_VERSION_4: the event and the icon id in lParam, the anchor in wParam.
    PostMessageW(frame, WM_TRAYNOTIFY, MAKEWPARAM(40, 40), MAKELPARAM(event, kIconId));
}

// The office dialog opened by New or Edit: name, printer, one address, then OK.
void FillOfficeDialog(DWORD pid, const std::wstring& name, const std::wstring& printer,
                      DWORD address) {
    HWND office = WaitForWindow(pid, L"#32770", L"Office Network");
    Check(office != nullptr, "the office dialog opens");
    if (!office) return;
    SendMessageW(GetDlgItem(office, IDC_NAME), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(name.c_str()));
    HWND combo = GetDlgItem(office, IDC_PRINTER);
    const LRESULT chosen = SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(printer.c_str()));
    Check(chosen != CB_ERR, "the printer is offered in the combo box");
    // A program's CB_SELECTSTRING sends no CBN_SELCHANGE; a user's choice does.
    SendMessageW(office, WM_COMMAND, MAKEWPARAM(IDC_PRINTER, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    // The address lies on the third tab: switch as a click does (TCM_SETCURSEL tells nobody).
    SendMessageW(GetDlgItem(office, IDC_TABS), TCM_SETCURFOCUS, 2, 0);
    HWND ip = GetDlgItem(office, IDC_IPADDRESS);
    Check(IsWindowVisible(ip), "the network tab shows the address controls");
    SendMessageW(ip, IPM_SETADDRESS, 0, static_cast<LPARAM>(address));
    // Let the control pass its change on, as typing does.
    SendMessageW(office, WM_COMMAND, MAKEWPARAM(IDC_IPADDRESS, EN_CHANGE),
                 reinterpret_cast<LPARAM>(ip));
    Press(office, IDOK);
    Check(WaitUntil([&] { return !IsWindow(office); }), "OK closes the office dialog");
}

// Says "SHOT NAME LEFT TOP RIGHT BOTTOM" (the window's place on the screen) and waits for a
// line on standard input: the picture has been taken.
void Pose(const char* name, HWND window) {
    RECT r{};
    if (window) {
        // Painted as it stands now, before the picture: changes made by messages are drawn
        // only when the program gets round to it.
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
        GetWindowRect(window, &r);
    }
    std::printf("SHOT %s %ld %ld %ld %ld\n", name, r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) std::exit(1);
}

// Shows each window of the program in turn for the manual's pictures, with the offices of
// the prefix. The tray menu is the caller's to open (a real click).
int PoseForPictures(const std::wstring& exe) {
    Program voldrane(exe);
    const DWORD pid = voldrane.Pid();
    HWND frame = nullptr;
    if (!WaitUntil([&] { return (frame = FindOf(pid, L"Voldrane Frame", nullptr, false)); }) ||
        !WaitUntil(StandaloneTrayShown))
        return 1;
    Pose("tray-menu", nullptr);

    PostMessageW(frame, WM_COMMAND, ID_CONFIGURE_NETWORKS, 0);
    HWND config = WaitForWindow(pid, L"#32770", L"Voldrane Configuration");
    if (!config) return 1;
    HWND list = GetDlgItem(config, IDC_OFFICES);
    const std::vector<std::wstring> offices = ListTexts(list, pid);
    if (offices.empty() || !SelectListItem(list, pid, offices.front())) return 1;
    Pose("config-dialog", config);

    Press(config, IDC_EDIT);
    HWND office = WaitForWindow(pid, L"#32770", L"Office Network");
    if (!office) return 1;
    Pose("office-dialog-printers", office);
    SendMessageW(GetDlgItem(office, IDC_TABS), TCM_SETCURFOCUS, 1, 0);
    Pose("office-dialog-drive-mapping", office);
    SendMessageW(GetDlgItem(office, IDC_TABS), TCM_SETCURFOCUS, 2, 0);
    Pose("office-dialog-network-settings", office);
    Press(office, IDCANCEL);
    WaitUntil([&] { return !IsWindow(office); });
    Cancel(config);
    WaitUntil([&] { return !IsWindow(config); });

    PostMessageW(frame, WM_COMMAND, ID_APP_ABOUT, 0);
    HWND about = nullptr;
    WaitUntil([&] {
        about = FindOf(pid, L"#32770", L"Voldrane");
        return about && GetDlgItem(about, IDC_ABOUT_VERSION);
    });
    if (!about) return 1;
    Pose("about-box", about);
    Press(about, IDOK);
    WaitUntil([&] { return !IsWindow(about); });

    PostMessageW(frame, WM_COMMAND, ID_APP_EXIT, 0);
    return WaitUntil([&] { return voldrane.Ended(); }) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--pose") return PoseForPictures(argv[2]);
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: tray_driver VOLDRANE_EXE VOLDRANECTL_EXE | --pose VOLDRANE_EXE\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    Program voldrane(exe);
    Check(voldrane.Started(), "voldrane.exe starts");
    if (!voldrane.Started()) return 1;
    const DWORD pid = voldrane.Pid();

    HWND frame = nullptr;
    Check(WaitUntil([&] {
              return (frame = FindOf(pid, L"Voldrane Frame", L"Voldrane", false)) != nullptr;
          }),
          "the hidden frame window titled Voldrane exists");
    Check(frame && !IsWindowVisible(frame), "the frame window stays hidden");
    // Start-up: the office of this network is recognised and its printer made the default.
    Check(WaitUntil([&] { return voldrane.Lines("Office A") == 1; }),
          "start-up recognises Office A from the network");
    Check(WaitUntil([&] { return voldrane.Lines("Default printer: qa") == 1; }),
          "start-up makes qa the default printer");
    Check(WaitUntil(StandaloneTrayShown), "the icon is in the notification area");
    if (g_failures) return 1;

    {
        // A second copy ends at once and leaves the first alone.
        Program second(exe);
        Check(WaitUntil([&] { return second.Ended(); }, 10000) && second.ExitCode() == 0,
              "a second start ends at once with status 0");
        Check(second.Output().empty(), "the second start applies nothing");
        Check(!voldrane.Ended(), "the first copy goes on");
    }

    // "Use Network": the menu opens on a right click, and its office command switches.
    Tray(frame, WM_CONTEXTMENU);
    Check(WaitForWindow(pid, L"#32768", nullptr) != nullptr, "a right click opens the tray menu");
    PostMessageW(frame, WM_COMMAND, ID_NETWORK_FIRST + 1, 0);
    Check(WaitUntil([&] { return voldrane.Lines("Default printer: qb") == 1; }),
          "Use Network > Office B makes qb the default printer");
    PostMessageW(frame, WM_CANCELMODE, 0, 0);
    Check(WaitUntil([&] { return !FindOf(pid, L"#32768", nullptr); }), "the menu closes");
    PostMessageW(frame, WM_COMMAND, ID_NETWORK_AUTODETECT, 0);
    Check(WaitUntil([&] { return voldrane.Lines("Default printer: qa") == 2; }),
          "Use Network > Auto-Detect applies Office A again");

    // Following the network: the caller moves the namespace to Office B's network when asked.
    // The switch shows a balloon; clicking it opens the settings, and Undo in the menu puts
    // the previous printer back.
    std::printf("MOVE B\n");
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return 1;
    Check(WaitUntil([&] { return voldrane.Lines("Default printer: qb") == 2; }, 30000),
          "following the network makes qb the default printer");
    Check(WaitUntil([&] { return BalloonShown(pid); }), "a balloon says so");
    Tray(frame, NIN_BALLOONUSERCLICK);
    HWND settings = WaitForWindow(pid, L"#32770", L"Voldrane Configuration");
    Check(settings != nullptr, "a click on the balloon opens the settings");
    if (settings) Cancel(settings);
    Check(WaitUntil([&] { return !IsWindow(settings); }), "Escape closes them");
    PostMessageW(frame, WM_COMMAND, ID_UNDO_SWITCH, 0);
    Check(WaitUntil([&] { return voldrane.Lines("Default printer: qa") == 3; }),
          "Undo Printer Switch puts qa back");

    // Another program adds an office while the tray program runs: it is there when the
    // configuration dialog opens.
    {
        const std::wstring ctl = argv[2];
        std::wstring cmd = L"\"" + ctl +
                           L"\" add --name \"Office E\" --ip 10.5.5.5 --mask 255.255.255.0 "
                           L"--printer qc";
        Program add(ctl, cmd);
        Check(WaitUntil([&] { return add.Ended(); }) && add.ExitCode() == 0,
              "voldranectl.exe adds an office meanwhile");
    }

    // The configuration dialog: a double click opens it, a second request only raises it.
    Tray(frame, WM_LBUTTONDBLCLK);
    HWND config = WaitForWindow(pid, L"#32770", L"Voldrane Configuration");
    Check(config != nullptr, "a double click opens the configuration dialog");
    if (!config) return 1;
    PostMessageW(frame, WM_COMMAND, ID_CONFIGURE_NETWORKS, 0);
    HWND list = GetDlgItem(config, IDC_OFFICES);
    Check(WaitUntil([&] { return ListTexts(list, pid).size() == 3; }),
          "the dialog lists the three offices, the one added meanwhile too");
    Check(!IsWindowEnabled(GetDlgItem(config, IDC_EDIT)) &&
              !IsWindowEnabled(GetDlgItem(config, IDC_DELETE)) &&
              !IsWindowEnabled(GetDlgItem(config, IDC_SELECT)),
          "Select, Edit and Delete wait for a selection");

    // New, from the current network: the question, then the office dialog.
    Press(config, IDC_NEW);
    HWND ask = WaitForMessageBox(pid, L"Use Current Network Settings?");
    Check(ask != nullptr, "New asks whether to use the current network");
    if (ask) Press(ask, IDYES);
    FillOfficeDialog(pid, L"Office C", L"qc", MAKEIPADDRESS(10, 1, 2, 3));
    Check(WaitUntil([] { return OfficeStored(L"Office C"); }), "New stores the office");
    Check(StoredValue(L"Office C", L"Default Printer") == L"qc", "New stores its printer");
    Check(StoredValue(L"Office C", L"IP Address") == L"10.1.2.3", "New stores its address");
    Check(ListTexts(list, pid).size() == 4, "the list shows the new office");

    // Edit: a new name, printer and address replace the stored ones.
    Check(SelectListItem(list, pid, L"Office C"), "the new office can be selected");
    Check(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(config, IDC_EDIT)) != FALSE; }),
          "a selection enables Edit");
    Press(config, IDC_EDIT);
    FillOfficeDialog(pid, L"Office D", L"qb", MAKEIPADDRESS(10, 9, 8, 7));
    Check(WaitUntil([] { return OfficeStored(L"Office D") && !OfficeStored(L"Office C"); }),
          "Edit stores the new name");
    Check(StoredValue(L"Office D", L"Default Printer") == L"qb", "Edit stores the new printer");
    Check(StoredValue(L"Office D", L"IP Address") == L"10.9.8.7", "Edit stores the new address");

    // Delete, after the question.
    Check(SelectListItem(list, pid, L"Office D"), "the edited office is listed by its new name");
    Press(config, IDC_DELETE);
    ask = WaitForMessageBox(pid, L"Are you sure you want to delete this office network?");
    Check(ask != nullptr, "Delete asks first");
    if (ask) Press(ask, IDYES);
    Check(WaitUntil([] { return !OfficeStored(L"Office D"); }), "Delete removes the office");
    Check(OfficeStored(L"Office A") && OfficeStored(L"Office B"), "the other offices stay");
    Check(WaitUntil([&] { return ListTexts(list, pid).size() == 3; }),
          "the list drops the deleted office");

    // Close stores "Auto-detect Network".
    Press(config, IDC_AUTODETECT);
    Check(WaitUntil([&] {
              return SendMessageW(GetDlgItem(config, IDC_AUTODETECT), BM_GETCHECK, 0, 0) ==
                     BST_UNCHECKED;
          }),
          "the check box turns off");
    int configWindows = 0;
    std::pair<DWORD, int*> counting(pid, &configWindows);
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* count = reinterpret_cast<std::pair<DWORD, int*>*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t title[64] = {};
            GetWindowTextW(hwnd, title, 64);
            if (owner == count->first && std::wstring(title) == L"Voldrane Configuration")
                ++*count->second;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&counting));
    Check(configWindows == 1, "Configure Networks while it is open opens no second dialog");
    Press(config, IDC_CLOSE);
    Check(WaitUntil([&] { return !IsWindow(config); }), "Close closes the dialog");
    Check(WaitUntil([] { return StoredAutoDetect() == 0; }), "Close stores Auto Detect off");

    // Exit: the icon goes and the process ends.
    PostMessageW(frame, WM_COMMAND, ID_APP_EXIT, 0);
    Check(WaitUntil([&] { return voldrane.Ended(); }), "Exit ends the process");
    Check(voldrane.ExitCode() == 0, "with status 0");
    Check(WaitUntil([] { return !StandaloneTrayShown(); }), "and takes its icon away");

    if (g_failures) std::printf("voldrane.exe said:\n%s", voldrane.Output().c_str());
    std::printf("%d failure(s)\n", g_failures);
    return g_failures ? 1 : 0;
}
