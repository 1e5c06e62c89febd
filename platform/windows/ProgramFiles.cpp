// Where the programs find the files installed with them: beside the running program (the
// installer puts them all in one folder), else the build tree's when the program runs there.
#include <windows.h>

#include <filesystem>
#include <vector>

#include "platform/ProgramFiles.h"
#include "platform/windows/WinText.h"

namespace voldrane::platform {

namespace {

namespace fs = std::filesystem;

fs::path FromUtf8(const std::string& s) {
    return fs::path(windows_os::Widen(s));
}

std::string ToUtf8(const fs::path& p) {
    return windows_os::Narrow(p.native());
}

std::wstring Canonical(const std::wstring& path) {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fs::path(path), ec);
    return ec ? std::wstring() : p.native();
}

// Case-insensitive prefix at a folder boundary, as Windows compares paths.
bool Within(const std::wstring& here, const std::wstring& tree) {
    if (tree.empty() || here.size() < tree.size()) return false;
    if (CompareStringOrdinal(here.c_str(), static_cast<int>(tree.size()), tree.c_str(),
                             static_cast<int>(tree.size()), TRUE) != CSTR_EQUAL)
        return false;
    return here.size() == tree.size() || here[tree.size()] == L'\\' || here[tree.size()] == L'/';
}

bool IsProgramFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(FromUtf8(path), ec);
}

}  // namespace

std::string ProgramFolder() {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (n == 0) return {};
        if (n < self.size()) {
            self.resize(n);
            break;
        }
        self.resize(self.size() * 2);
    }
    return ToUtf8(fs::path(self).parent_path());
}

bool InBuildTree(const std::string& folder) {
    const std::wstring tree = Canonical(windows_os::Widen(VOLDRANE_BUILD_TREE));
    const std::wstring here = Canonical(windows_os::Widen(folder));
    return !here.empty() && Within(here, tree);
}

std::string FindVoldranectl(const std::string& programFolder, std::string* looked) {
    std::vector<std::string> places;
    if (!programFolder.empty()) places.push_back(programFolder + "\\voldranectl.exe");
    if (InBuildTree(programFolder)) places.emplace_back(VOLDRANE_BUILD_TREE_VOLDRANECTL);
    std::string list;
    for (const auto& place : places) {
        if (IsProgramFile(place)) return place;
        list += (list.empty() ? "" : ", ") + place;
    }
    if (looked) *looked = list;
    return {};
}

}  // namespace voldrane::platform
