// Starting the tray program at logon: a value under the current user's Run key, which is also
// what the Settings app's Startup page lists and switches.
#include <windows.h>

#include "platform/Autostart.h"
#include "platform/ProgramFiles.h"
#include "platform/windows/WinText.h"

namespace voldrane::platform {

namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kRunValue = L"Voldrane";

}  // namespace

std::string AutostartEntryPath() {
    return "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Voldrane";
}

bool AutostartEnabled() {
    DWORD type = 0, size = 0;
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, &type, nullptr,
                        &size) == ERROR_SUCCESS;
}

bool SetAutostart(bool on, const std::string& program, std::string* error) {
    LONG rc;
    if (on) {
        // Quoted: the path may hold spaces ("Program Files").
        const std::wstring command = L"\"" + windows_os::Widen(program) + L"\"";
        rc = RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, command.c_str(),
                             static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    } else {
        rc = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue);
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
    }
    if (rc == ERROR_SUCCESS) return true;
    if (error) *error = AutostartEntryPath() + ": " + windows_os::ErrorText(static_cast<DWORD>(rc));
    return false;
}

std::string TrayProgramBesideSelf() {
    const std::string folder = ProgramFolder();
    return folder.empty() ? "voldrane.exe" : folder + "\\voldrane.exe";
}

}  // namespace voldrane::platform
