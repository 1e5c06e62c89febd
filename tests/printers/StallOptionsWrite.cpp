// Preloaded into voldranectl (LD_PRELOAD) to hold it in the middle of writing the user's
// printer options, as a slow home folder would, so that a test can end it right there.
//
// Both libcups and voldranectl set the permissions of the file they are about to fill
// (fchmod) between opening and writing it. When that file's path holds "lpoptions", the
// process creates "stalled-<pid>" in STALL_OPTIONS_DIR and waits there until it is killed.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

extern "C" int fchmod(int fd, mode_t mode) {
    using Fchmod = int (*)(int, mode_t);
    static const Fchmod real = reinterpret_cast<Fchmod>(dlsym(RTLD_NEXT, "fchmod"));
    const char* dir = std::getenv("STALL_OPTIONS_DIR");
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
    if (dir && n > 0 &&
        std::string(path, static_cast<size_t>(n)).find("lpoptions") != std::string::npos) {
        const std::string marker = std::string(dir) + "/stalled-" + std::to_string(getpid());
        const int m = open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (m >= 0) close(m);
        for (;;) pause();
    }
    return real(fd, mode);
}
