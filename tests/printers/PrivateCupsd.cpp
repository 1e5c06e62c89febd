#include "tests/printers/PrivateCupsd.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/printers/TestProcess.h"

namespace voldrane::test {

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path);
    f << text;
    return static_cast<bool>(f);
}

bool CanConnect(const std::string& socketPath) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof(addr.sun_path) - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

}  // namespace

void UseCupsServer(const std::string& server) {
    setenv("CUPS_SERVER", server.c_str(), 1);
    cupsSetServer(nullptr);  // libcups caches the server per thread; read it again
}

std::string CupsTool(const std::vector<std::string>& argv) {
    const auto r = RunProcess(argv, std::chrono::seconds(20));
    if (r.exitCode == 0) return "";
    std::string cmd;
    for (const auto& a : argv) cmd += a + " ";
    return cmd + "failed (" + (r.timedOut ? "timed out" : "exit " + std::to_string(r.exitCode)) +
           "): " + r.err;
}

SilentListener::SilentListener(std::string path) : m_path(std::move(path)) {
    m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, m_path.c_str(), sizeof(addr.sun_path) - 1);
    m_ok = m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
           listen(m_fd, 128) == 0;
}

SilentListener::~SilentListener() {
    if (m_fd >= 0) close(m_fd);
    unlink(m_path.c_str());
}

PrivateCupsd::PrivateCupsd() {
    namespace fs = std::filesystem;
    if (access("/usr/sbin/cupsd", X_OK) != 0) {
        m_startError = "/usr/sbin/cupsd is missing (install cups-daemon: scripts/deps.sh test)";
        return;
    }
    try {
        m_tmp = std::make_unique<TempFolder>("voldrane-cups");
    } catch (const std::exception& e) {
        m_startError = e.what();
        return;
    }
    m_dir = m_tmp->Path();
    for (const char* sub : {"spool/temp", "log", "cache", "home", "config"})
        fs::create_directories(m_dir + "/" + sub);
    const std::string& d = m_dir;
    // cupsd refuses to run as root with "User root", so no User line; a Printcap value keeps
    // it from writing /etc/printcap. Every request is logged, so that tests can count them.
    const bool written =
        WriteFile(d + "/cupsd.conf", "Listen " + d +
                                         "/cups.sock\nBrowsing Off\nWebInterface No\n"
                                         "AccessLogLevel all\n"
                                         "<Policy default>\n<Limit All>\nOrder Allow,Deny\n"
                                         "</Limit>\n</Policy>\n") &&
        WriteFile(d + "/cups-files.conf",
                  "FileDevice Yes\nPrintcap " + d + "/printcap\nServerRoot " + d + "\nStateDir " +
                      d + "\nCacheDir " + d + "/cache\nRequestRoot " + d + "/spool\nTempDir " + d +
                      "/spool/temp\nAccessLog " + d + "/log/access_log\nErrorLog " + d +
                      "/log/error_log\nPageLog " + d + "/log/page_log\n");
    if (!written) {
        m_startError = "cannot write the cupsd configuration in " + d;
        return;
    }

    setenv("HOME", (d + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (d + "/config").c_str(), 1);
    unsetenv("LPDEST");
    unsetenv("PRINTER");
    UseCupsServer(Socket());

    m_startError = Launch();
}

std::string PrivateCupsd::Launch() {
    const std::string& d = m_dir;
    const std::string conf = d + "/cupsd.conf", files = d + "/cups-files.conf";
    const std::string log = d + "/log/cupsd.out";
    m_pid = fork();
    if (m_pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test, even when it crashes
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_pid < 0) return std::string("fork: ") + std::strerror(errno);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!CanConnect(Socket())) {
        int status;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            std::ifstream f(log);
            std::stringstream ss;
            ss << f.rdbuf();
            return "cupsd exited at start: " + ss.str();
        }
        if (std::chrono::steady_clock::now() > until)
            return "cupsd did not listen on " + Socket() + " within 15 s";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
}

void PrivateCupsd::Kill() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

void PrivateCupsd::Signal(int sig) {
    if (m_pid > 0) kill(m_pid, sig);
}

std::string PrivateCupsd::Restart() {
    Kill();
    return Launch();
}

PrivateCupsd::~PrivateCupsd() {
    // Nothing of it is kept, so there is no reason to wait the two seconds of a clean
    // shutdown. A stopped server dies of SIGKILL all the same.
    Kill();
}

std::string PrivateCupsd::Reset() {
    unsetenv("LPDEST");
    unsetenv("PRINTER");
    UseCupsServer(Socket());
    std::error_code ec;
    std::filesystem::remove_all(m_dir + "/home/.cups", ec);
    std::filesystem::remove_all(m_dir + "/config", ec);
    std::filesystem::create_directories(m_dir + "/config", ec);
    const auto list = RunProcess({"/usr/bin/lpstat", "-e"}, std::chrono::seconds(20));
    if (list.timedOut) return "lpstat -e timed out";
    std::istringstream names(list.out);
    for (std::string name; std::getline(names, name);) {
        if (name.empty() || name.find('/') != std::string::npos) continue;
        if (auto e = CupsTool({"/usr/sbin/lpadmin", "-x", name}); !e.empty()) return e;
    }
    return "";
}

}  // namespace voldrane::test
