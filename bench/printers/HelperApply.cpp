// The tray program's apply path as a program of its own, for hyperfine: one
// SetDefaultPrinter through HelperSpooler (a `voldranectl spooler set-default` process, its
// output read, its end awaited), exactly as the tray program makes it. Built from the helper
// spooler's source alone and linked statically, so that its own start costs as little as a
// program's can.
//
// The tray program does not pay that start: it is running already. So `--run PROGRAM ARGS`
// starts another program the same way and waits for it: `helper_apply --run lpoptions -d X`
// is the floor with the same start in front of it, and the two differ by the path alone.
// Usage: helper_apply VOLDRANECTL PRINTER | helper_apply --run PROGRAM [ARGS...]
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "platform/linux/HelperSpooler.h"

extern char** environ;

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--run") == 0) {
        pid_t pid = -1;
        if (const int rc = posix_spawnp(&pid, argv[2], nullptr, nullptr, argv + 2, environ)) {
            std::cerr << "helper_apply: " << argv[2] << ": " << std::strerror(rc) << '\n';
            return 3;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
    }
    if (argc != 3) {
        std::cerr << "usage: helper_apply VOLDRANECTL PRINTER | helper_apply --run PROGRAM ...\n";
        return 2;
    }
    voldrane::platform::linux_os::HelperSpooler spooler(argv[1]);
    std::string error;
    if (!spooler.SetDefaultPrinter(argv[2], &error)) {
        std::cerr << "helper_apply: " << error << '\n';
        return 3;
    }
    return 0;
}
