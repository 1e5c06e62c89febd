#include "platform/linux/FilePath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace voldrane::platform::linux_os {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int FollowLinks(const std::string& path, std::string& final) {
    final = path;
    // As many hops as the kernel itself follows before it gives up with ELOOP.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(final.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode)) return 0;
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = readlink(final.c_str(), buf.data(), buf.size());
        if (n < 0) return errno;
        if (static_cast<size_t>(n) >= buf.size()) return ENAMETOOLONG;
        const std::string target(buf.data(), static_cast<size_t>(n));
        final = target[0] == '/' ? target : FolderOf(final) + "/" + target;
    }
    return ELOOP;
}

}  // namespace voldrane::platform::linux_os
