#include "ui/win32/Win32Help.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/ProgramFiles.h"
#include "ui/win32/Wide.h"

namespace voldrane::win32 {

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring ManualPage(const std::string& page) {
    const std::wstring dir = Widen(platform::ProgramFolder()) + L"\\help\\";
    if (!IsFile(dir + L"index.html")) return {};
    std::wstring file = L"index.html";
    if (page == "config") file = L"config.html";
    if (page == "office") file = L"office.html";
    return IsFile(dir + file) ? dir + file : dir + L"index.html";
}

bool OpenManual(const std::string& page, std::string* error) {
    const std::wstring path = ManualPage(page);
    if (path.empty()) {
        if (error) *error = "The manual is not installed (the folder \"help\" beside the program).";
        return false;
    }
    // Values above 32 mean the browser was started.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        if (error)
            *error = "No web browser could be started to show the manual. Open it by hand:\n" +
                     Narrow(path);
        return false;
    }
    return true;
}

}  // namespace voldrane::win32
