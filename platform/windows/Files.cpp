#include <windows.h>

#include <algorithm>

#include "platform/Files.h"
#include "platform/windows/WinText.h"

namespace voldrane::platform {

using windows_os::LastErrorText;
using windows_os::Widen;

std::optional<std::string> ReadWholeFile(const std::string& path, std::string* error) {
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error) *error = LastErrorText();
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            if (error) *error = LastErrorText();
            CloseHandle(file);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.append(buffer, n);
    }
    CloseHandle(file);
    return bytes;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string* error) {
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error) *error = LastErrorText();
        return false;
    }
    size_t at = 0;
    while (at < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 20));
        DWORD n = 0;
        if (!WriteFile(file, bytes.data() + at, chunk, &n, nullptr)) {
            if (error) *error = LastErrorText();
            CloseHandle(file);
            return false;
        }
        at += n;
    }
    if (!CloseHandle(file)) {
        if (error) *error = LastErrorText();
        return false;
    }
    return true;
}

bool IsRunnableFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace voldrane::platform
