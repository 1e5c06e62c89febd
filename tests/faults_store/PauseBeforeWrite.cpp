// Preloaded into a store writer (LD_PRELOAD) to stop it at one chosen moment: after it has
// read the store, just before it asks for the lock to write. While it waits there another
// program changes the store, as one may at any time; then the test lets it go on.
//
// PAUSE_BEFORE_WRITE_DIR: the writer creates "paused-<pid>" there when it stops, and goes on
// once "go-<pid>" exists. Only the first such moment of the process stops it.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool g_hasRead = false;
bool g_paused = false;

void PauseHere() {
    const char* dir = std::getenv("PAUSE_BEFORE_WRITE_DIR");
    if (!dir) return;
    const std::string pid = std::to_string(getpid());
    const std::string paused = std::string(dir) + "/paused-" + pid;
    const std::string go = std::string(dir) + "/go-" + pid;
    const int fd = open(paused.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) close(fd);
    for (int i = 0; i < 60000 && access(go.c_str(), F_OK) != 0; ++i) usleep(1000);
}

}  // namespace

extern "C" int flock(int fd, int operation) {
    using Flock = int (*)(int, int);
    static const Flock real = reinterpret_cast<Flock>(dlsym(RTLD_NEXT, "flock"));
    if (operation & LOCK_SH) g_hasRead = true;
    if ((operation & LOCK_EX) && g_hasRead && !g_paused) {
        g_paused = true;
        PauseHere();
    }
    return real(fd, operation);
}
