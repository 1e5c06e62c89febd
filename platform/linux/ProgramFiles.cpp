#include "platform/ProgramFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace voldrane::platform {

namespace {

std::string Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// A folder is "executable" too: only a regular file counts.
bool IsProgramFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string ProgramFolder() {
    const std::string self = Canonical("/proc/self/exe");
    const size_t slash = self.rfind('/');
    return slash == std::string::npos ? std::string() : self.substr(0, slash == 0 ? 1 : slash);
}

bool InBuildTree(const std::string& folder) {
    const std::string tree = Canonical(VOLDRANE_BUILD_TREE);
    const std::string here = Canonical(folder);
    return !tree.empty() && !here.empty() &&
           (here == tree || here.compare(0, tree.size() + 1, tree + "/") == 0);
}

std::string FindVoldranectl(const std::string& programFolder, std::string* looked) {
    std::vector<std::string> places;
    if (!programFolder.empty()) places.push_back(programFolder + "/voldranectl");
    if (InBuildTree(programFolder)) places.emplace_back(VOLDRANE_BUILD_TREE_VOLDRANECTL);
    places.emplace_back(VOLDRANE_INSTALL_BINDIR "/voldranectl");
    std::string list;
    for (size_t i = 0; i < places.size(); ++i) {
        if (IsProgramFile(places[i])) return places[i];
        if (std::find(places.begin(), places.begin() + static_cast<long>(i), places[i]) ==
            places.begin() + static_cast<long>(i))
            list += (list.empty() ? "" : ", ") + places[i];
    }
    if (looked) *looked = list;
    return {};
}

}  // namespace voldrane::platform
