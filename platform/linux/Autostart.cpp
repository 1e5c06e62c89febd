#include "platform/Autostart.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/linux/TextFile.h"

namespace voldrane::platform {

namespace {

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;  // a relative value is invalid and ignored
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : "/";
    }
    return std::string(home) + "/.config";
}

std::string Reason(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

// The Exec value for one program path: quoted when it has characters the desktop entry
// rules reserve, with the quoting's and the key file's own escapes.
std::string ExecValue(const std::string& program) {
    const bool plain = program.find_first_of(" \t\n\"'\\><~|&;$*?#()`%=") == std::string::npos;
    if (plain) return program;
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += "\\\\";  // "\\" in the file
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

bool MakeFolders(const std::string& folder, std::string* error) {
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/') continue;
        const std::string part = folder.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            if (error) *error = Reason("cannot create the folder", part, errno);
            return false;
        }
    }
    return true;
}

}  // namespace

std::string AutostartEntryPath() {
    return ConfigHome() + "/autostart/com.kestamor.Voldrane.desktop";
}

bool AutostartEnabled() {
    const auto text = linux_os::ReadTextFile(AutostartEntryPath());
    if (!text) return false;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
    }
    return true;
}

bool SetAutostart(bool on, const std::string& program, std::string* error) {
    const std::string path = AutostartEntryPath();
    if (!on) {
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            if (error) *error = Reason("cannot remove", path, errno);
            return false;
        }
        return true;
    }
    if (!MakeFolders(path.substr(0, path.rfind('/')), error)) return false;
    const std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Voldrane\n"
        "Comment=Makes the printer of the office you are in your default printer\n"
        "Exec=" +
        ExecValue(program) +
        "\n"
        "Icon=com.kestamor.Voldrane\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    // A file of its own beside, made durable and renamed over: a session starting meanwhile,
    // a crash or a second writer never leaves half an entry.
    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = Reason("cannot write", temp, errno);
        return false;
    }
    int err = 0;
    errno = 0;
    if (fchmod(fd, 0644) != 0 ||
        write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) || fsync(fd) != 0)
        err = errno ? errno : EIO;  // a short write sets no errno
    if (close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        if (error) *error = Reason("cannot write", temp, err);
        unlink(temp.c_str());
        return false;
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        if (error) *error = Reason("cannot write", path, errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

std::string TrayProgramBesideSelf() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "voldrane";
    const std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "voldrane";
}

}  // namespace voldrane::platform
